#include "format/record_fields.h"

const RecordField HEADER_WORDS[HEADER_WORD_COUNT] = {
    {"reserved_0", OFFSET_RESERVED_0},
    {"payload_offset", OFFSET_PAYLOAD_OFFSET},
    {"main_size", OFFSET_MAIN_SIZE},
    {"second_size", OFFSET_SECOND_SIZE},
    {"reserved_16", OFFSET_RESERVED_16},
    {"header_check", OFFSET_HEADER_CHECK},
    {"extra_size", OFFSET_EXTRA_SIZE},
    {"flags", OFFSET_FLAGS},
    {"main_part2_size", OFFSET_MAIN_PART2_SIZE},
    {"main_part3_size", OFFSET_MAIN_PART3_SIZE},
};

const RecordField TEXT_SLOTS[TEXT_SLOT_COUNT] = {
    {"main_file_name", OFFSET_MAIN_FILE_NAME},
    {"second_file_name", OFFSET_SECOND_FILE_NAME},
    {"extra_file_name", OFFSET_EXTRA_FILE_NAME},
    {"confirm_text", OFFSET_CONFIRM_TEXT},
    {"done_text", OFFSET_DONE_TEXT},
    {"failure_text", OFFSET_FAILURE_TEXT},
    {"bad_header_text", OFFSET_BAD_HEADER_TEXT},
    {"dialog_text", OFFSET_DIALOG_TEXT},
};
