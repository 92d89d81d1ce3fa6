#pragma once

#include "db/resultstore.h"

#include <cstdint>
#include <string_view>

// One cell of a row as the engine gives it, for writers that turn rows straight into text
// without a QVariant or QString per cell: numbers as numbers, a text (UTF-8) or a blob as bytes
// that stay valid until the row moves on.
struct CellView {
    ResultStore::Kind kind = ResultStore::Kind::Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string_view bytes;
};
