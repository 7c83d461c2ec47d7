#include "xlibplus/string/char_set.h"

namespace xlibplus {

// Definition order is construction order within this file.
const xCharSetW wideBlanks(u" \t");
const xCharSetW wideLineBreaks(u"\r\n");
const xCharSetW wideLowerCase(u"abcdefghijklmnopqrstuvwxyz");
const xCharSetW wideUpperCase(u"ABCDEFGHIJKLMNOPQRSTUVWXYZ");
const xCharSetW wideDigits(u"0123456789");
const xCharSetW widePunctuation(u"+-*/\\()[]{}\";'<>,.?!~`#$%^&|_=");

const xCharSetA blanks(" \t");
const xCharSetA lineBreaks("\r\n");
const xCharSetA lowerCase("abcdefghijklmnopqrstuvwxyz");
const xCharSetA upperCase("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
const xCharSetA digits("0123456789");
const xCharSetA punctuation("+-*/\\()[]{}\";'<>,.?!~`#$%^&|_=");

const xCharSetA blanks2(" \t");
const xCharSetA lineBreaks2("\r\n");
const xCharSetA lowerCase2("abcdefghijklmnopqrstuvwxyz");
const xCharSetA upperCase2("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
const xCharSetA digits2("0123456789");
const xCharSetA punctuation2("+-*/\\()[]{}\";'<>,.?!~`#$%^&|_=");

} // namespace xlibplus
