// recordtypes: the conditions of FILE ... WHEN, which send each record of a
// data file that several FILE commands read to the table it belongs to.
//
//   WHEN field = value [, value ...]     a value: 'text', a number, SPACE,
//                                        ZERO, HIGH-VALUE, LOW-VALUE, or
//                                        a range value THRU value
//   WHEN condition-name                  a level-88 name of the record
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kvapp/cobdef.h"
#include "kvapp/decplan.h"

// One value or range a field is compared with, ready for the bytes.
struct record_value {
    std::vector<uint8_t> low, high;  // text: the field's bytes; high empty: one value
    std::string low_number, high_number;  // numbers: canonical digits (as rows write them)
};

// A compiled condition: the field's place and the values it may hold.
struct record_condition {
    int32_t offset = 0;     // in the record as laid out (before OCCURS DEPENDING ON moves it)
    int32_t length = 0;
    bool numeric = false;
    dp_plan number_plan;    // numbers: decodes the field alone
    std::vector<record_value> values;
    std::string text;       // as written, for messages
};

// Compiles `text` against the record `def` in the code page of the data.
// False with an error text for an unknown field or condition name, or a
// value the field or the code page cannot hold.
bool compile_condition(std::string& error, const std::string& text, const def_entry& def,
                       const kv_codepage& codepage, record_condition& out);

// Whether the field's bytes (at `field`, `size` of them present) meet the
// condition.
bool condition_met(const record_condition& c, const uint8_t* field, size_t size, dp_buffer& scratch);
