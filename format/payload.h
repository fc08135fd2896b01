// What follows the stub: the payload files in their fixed order, from
// payload_offset on, back to back with nothing in between.
//
//  order  item               present when                 stored key  file
//  -----  -----------------  ---------------------------  ----------  -------------------
//      1  extra file         extra_size != 0              KEY_EXTRA   new: extra_file_name
//      2  main file, part 1  always                       KEY_MAIN    new: main_file_name
//      3  main file, part 2  compressed, part2_size != 0  -           appended to the main file
//      4  main file, part 3  compressed, part3_size != 0  -           appended to the main file
//      5  second file        always                       KEY_SECOND  new: second_file_name
//
// Stored payload (flags without FLAG_COMPRESSED): each file is its size
// word's count of bytes, XOR-scrambled with its key. Compressed payload: each
// item is one complete container stream (codec/container.h) that carries its
// own length; the size words only feed the progress bar, and extra_size and
// the part sizes double as presence flags.
#pragma once
#include <stdint.h>

#include "format/record.h"

enum PayloadRole { ROLE_EXTRA, ROLE_MAIN, ROLE_MAIN_PART2, ROLE_MAIN_PART3, ROLE_SECOND };

enum { MAX_PAYLOAD_ITEMS = 5 };

struct PayloadItem {
  PayloadRole role;
  uint32_t size;        // the record's size word for the item
  uint8_t key;          // stored mode: the item's scrambling key
  uint8_t new_file;     // 1: the item starts a file; 0: it continues the main file
  int32_t name_offset;  // the text slot naming the file it goes into
};

// Fills items with the record's payload items in payload order and returns
// how many there are (2 to 5).
int32_t plan_payload(const InstallConfig *record, PayloadItem *items);

// 0 when two of the files the record creates would be one file under
// Windows (file_names_clash): the second would be written over the first,
// so the record is refused as damaged. 1 otherwise.
int payload_names_distinct(const InstallConfig *record);
