#pragma once

#include <QByteArray>
#include <QByteArrayView>

// A UTF-8 value between double quotes with every quote inside it doubled: the one escape that
// spreadsheets and CSV readers undo, so separators and line breaks stay inside their cell.
QByteArray csvQuoted(QByteArrayView utf8);
