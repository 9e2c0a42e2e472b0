// Helpers of the MoPro reader that other code may use.
#pragma once

// 1 when the text is not empty and every character is a digit "0" to "9", else 0.
int istzahl(const char* text);
