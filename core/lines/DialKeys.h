// The dial dialog's keypad: each key's caption, digit code, character and whether pulses can dial it.
#pragma once

#include <array>
#include <cstdint>

struct DialKey {
    const char* caption;
    uint16_t code;  // digit code sent to the board, 0..15
    char character; // appended to the number display
    bool toneOnly;
    int row, column;  // place on the keypad: 1 2 3 / 4 5 6 / 7 8 9 / * 0 #, A..D in a column to the right
    const char* name; // the key's objectName
};

inline constexpr std::array<DialKey, 16> kDialKeys{{
    {"1", 1, '1', false, 0, 0, "key1"},
    {"2", 2, '2', false, 0, 1, "key2"},
    {"3", 3, '3', false, 0, 2, "key3"},
    {"4", 4, '4', false, 1, 0, "key4"},
    {"5", 5, '5', false, 1, 1, "key5"},
    {"6", 6, '6', false, 1, 2, "key6"},
    {"7", 7, '7', false, 2, 0, "key7"},
    {"8", 8, '8', false, 2, 1, "key8"},
    {"9", 9, '9', false, 2, 2, "key9"},
    {"*", 10, '*', true, 3, 0, "keyStar"},
    {"0", 0, '0', false, 3, 1, "key0"},
    {"#", 11, '#', true, 3, 2, "keyHash"},
    {"A", 12, 'A', true, 0, 3, "keyA"},
    {"B", 13, 'B', true, 1, 3, "keyB"},
    {"C", 14, 'C', true, 2, 3, "keyC"},
    {"D", 15, 'D', true, 3, 3, "keyD"},
}};
