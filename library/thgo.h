// The record every node of the bookshelf and chapter trees carries.
#pragma once

#include <QString>

struct Thgo
{
    QString Tid; // key of the node's row, decimal text
    QString Tjb; // parent key as stored: a key, or "$" at the top level
    QString Lbm; // name or title as the user wrote it
    QString Tcon; // a unit's document, unescaped; empty for bookshelf nodes
};
