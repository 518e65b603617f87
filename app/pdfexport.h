// A book as one PDF: its pages in tree order, each chapter on a new sheet,
// printed by the web engine from one HTML document of the whole book.
#pragma once

#include "transfer/transfer.h"

#include <QString>

class TADOConnection;

namespace pdfexport {

// The book bookKey as one HTML document: its name and every title as
// headings by depth, each chapter (a unit at the top of the book) starting
// a new sheet, pictures as file URLs of pictureFolder. A picture missing
// from the folder is noted in report.
QString bookDocument(TADOConnection *db, const QString &bookKey, const QString &pictureFolder,
                     transfer::Report &report, const transfer::Progress &progress = {});

// Prints the book bookKey to target, a file that must not exist yet. Waits
// for the engine in a nested event loop under EngineWaits::Hold. A cancel or
// failure leaves no file; raises transfer::Refused.
transfer::Report exportBook(TADOConnection *db, const QString &bookKey, const QString &target,
                            const QString &pictureFolder, const transfer::Progress &progress = {});

} // namespace pdfexport
