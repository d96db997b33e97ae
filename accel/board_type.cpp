#include "accel/board_type.h"

const char *boardTypeName(BoardType type)
{
    switch (type) {
    case BoardType::TK301_02: return "TK301.02";
    case BoardType::TK307_04: return "TK307.04";
    case BoardType::Wisp: return "Wisp";
    case BoardType::Slab: return "Slab";
    case BoardType::Tier: return "Tier";
    case BoardType::Rack: return "Rack";
    case BoardType::Bolt: return "Bolt";
    case BoardType::Simulator: break;
    }
    return "Simulator";
}
