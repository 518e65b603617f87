// Escaping of user text before it is concatenated into a statement, and the
// reverse step for stored text.
#pragma once

#include <QString>

QString Dataesc(const QString &text);
QString Dataunesc(const QString &text);
