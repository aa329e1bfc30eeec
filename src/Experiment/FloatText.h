#pragma once
// Reading the probability texts of the front-ends' parameter boxes.

#include <string>

// The decimal real written in Text (point as decimal separator, whatever the locale),
// correctly rounded to double. Blanks around the number are ignored. A text that is not
// such a number raises std::invalid_argument "'<Text>' is not a valid floating point value".
double StrToFloat(const std::string& Text);
