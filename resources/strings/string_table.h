// The numbered string table of the program.
#pragma once

#include <string>

namespace res {

enum StringId : unsigned {
    IDS_UPDATE_FAILED = 61212,
    IDS_DELETE_FAILED = 61214,
    IDS_SAVE_DATA_FAILED = 61217,
    IDS_NOT_A_PERSON = 61220,
    IDS_NOTHING_SELECTED = 61221,
    IDS_SAVE_FAILED = 61222,
    IDS_SKETCH_NO_NAME = 61223,
    IDS_SKETCH_UNSAVED = 61224,
    IDS_MAIN_DATABASE = 61228,
    IDS_COUNT_DATABASE = 61229,
    IDS_SKETCH_MISSING = 61230,
    IDS_NAME_EXISTS = 61231,
    IDS_EMAIL_EXISTS = 61232,
};

// The string, or an empty string for a number the table does not hold.
std::u16string loadString(unsigned id);
bool hasString(unsigned id);

}  // namespace res
