// The lands picture: one pixel per corner point of the land grid, the north
// row at the top, each in its land's colour and black where a point has no
// land. What --export lands writes and --import-lands reads back.
#pragma once

#include "render/export/export_stream.h"

// The rows of the open terrain's land grid, read afresh from its tiles, as
// a 24-bit picture of (columns + 1) x (rows + 1) pixels.
RowSource land_row_source();
