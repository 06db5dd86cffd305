// The 98 key commands: ROW(name, key, binding, second binding, failure message, bound). The export `name`
// hands `key` to the composer; it is bound to the word processor's key code `binding` (virtual key + 256
// Ctrl + 512 Shift + 1024 Alt), and to `second binding` too when that is not 0; `failure message` is shown
// when a binding fails (null: nothing is shown). Rows are in registration order; start-up binds the keys
// in another order, in which the command comes at place `bound`.
#pragma once

#define TIBET_LETTER(ROW, lower, upper, bound) ROW(lower, #lower[0], #upper[0], 0, nullptr, bound)
#define TIBET_CAPITAL(ROW, upper, bound) ROW(upper##C, #upper[0], 512 + #upper[0], 0, nullptr, bound)
#define TIBET_DIGIT(ROW, digit, bound) ROW(A##digit, #digit[0], #digit[0], 0, nullptr, bound)

#define TIBET_KEY_COMMANDS(ROW)                       \
  TIBET_LETTER(ROW, a, A, 0)                          \
  TIBET_LETTER(ROW, b, B, 1)                          \
  TIBET_LETTER(ROW, c, C, 2)                          \
  TIBET_LETTER(ROW, d, D, 3)                          \
  TIBET_LETTER(ROW, e, E, 4)                          \
  TIBET_LETTER(ROW, f, F, 5)                          \
  TIBET_LETTER(ROW, g, G, 6)                          \
  TIBET_LETTER(ROW, j, J, 7)                          \
  TIBET_LETTER(ROW, k, K, 8)                          \
  TIBET_LETTER(ROW, l, L, 9)                          \
  TIBET_LETTER(ROW, m, M, 10)                         \
  TIBET_LETTER(ROW, n, N, 11)                         \
  TIBET_LETTER(ROW, o, O, 12)                         \
  TIBET_LETTER(ROW, p, P, 13)                         \
  TIBET_LETTER(ROW, q, Q, 14)                         \
  TIBET_LETTER(ROW, r, R, 15)                         \
  TIBET_LETTER(ROW, s, S, 16)                         \
  TIBET_LETTER(ROW, t, T, 17)                         \
  TIBET_LETTER(ROW, u, U, 18)                         \
  TIBET_LETTER(ROW, w, W, 19)                         \
  TIBET_LETTER(ROW, x, X, 20)                         \
  TIBET_LETTER(ROW, y, Y, 21)                         \
  TIBET_LETTER(ROW, z, Z, 22)                         \
  ROW(hl, 'h', 'H', 0, nullptr, 23)                   \
  ROW(il, 'i', 'I', 0, nullptr, 24)                   \
  ROW(vl, 'v', 'V', 0, nullptr, 25)                   \
  TIBET_CAPITAL(ROW, A, 26)                           \
  TIBET_CAPITAL(ROW, B, 27)                           \
  TIBET_CAPITAL(ROW, C, 28)                           \
  TIBET_CAPITAL(ROW, D, 29)                           \
  TIBET_CAPITAL(ROW, E, 30)                           \
  TIBET_CAPITAL(ROW, F, 31)                           \
  TIBET_CAPITAL(ROW, G, 32)                           \
  TIBET_CAPITAL(ROW, H, 33)                           \
  TIBET_CAPITAL(ROW, I, 34)                           \
  TIBET_CAPITAL(ROW, J, 35)                           \
  TIBET_CAPITAL(ROW, K, 36)                           \
  TIBET_CAPITAL(ROW, L, 37)                           \
  TIBET_CAPITAL(ROW, M, 38)                           \
  TIBET_CAPITAL(ROW, N, 39)                           \
  TIBET_CAPITAL(ROW, O, 40)                           \
  TIBET_CAPITAL(ROW, P, 41)                           \
  TIBET_CAPITAL(ROW, Q, 42)                           \
  TIBET_CAPITAL(ROW, R, 43)                           \
  TIBET_CAPITAL(ROW, S, 44)                           \
  TIBET_CAPITAL(ROW, T, 45)                           \
  TIBET_CAPITAL(ROW, U, 46)                           \
  TIBET_CAPITAL(ROW, V, 47)                           \
  TIBET_CAPITAL(ROW, W, 48)                           \
  TIBET_CAPITAL(ROW, X, 49)                           \
  TIBET_CAPITAL(ROW, Y, 50)                           \
  TIBET_CAPITAL(ROW, Z, 51)                           \
  TIBET_DIGIT(ROW, 0, 53)                             \
  TIBET_DIGIT(ROW, 1, 54)                             \
  TIBET_DIGIT(ROW, 2, 55)                             \
  TIBET_DIGIT(ROW, 3, 56)                             \
  TIBET_DIGIT(ROW, 4, 57)                             \
  TIBET_DIGIT(ROW, 5, 58)                             \
  TIBET_DIGIT(ROW, 6, 59)                             \
  TIBET_DIGIT(ROW, 7, 60)                             \
  TIBET_DIGIT(ROW, 8, 61)                             \
  TIBET_DIGIT(ROW, 9, 62)                             \
  ROW(semi, ';', 186, 0, "error ;", 52)               \
  ROW(equal, '=', 187, 0, "error =", 66)              \
  ROW(comma, ',', 188, 0, "error ,", 63)              \
  ROW(dash, '-', 189, 0, "error -", 65)               \
  ROW(period, '.', 190, 0, "error .", 72)             \
  ROW(fslash, '/', 191, 0, "error forward slash", 71) \
  ROW(grave, '`', 192, 0, "error `", 64)              \
  ROW(lbrack, '[', 219, 0, "error [", 67)             \
  ROW(bslash, '\\', 220, 0, "error backslash", 70)    \
  ROW(rbrack, ']', 221, 0, "error ]", 68)             \
  ROW(apost, '\'', 222, 0, "error '", 69)             \
  ROW(space, ' ', 32, 0, "error spacebar", 97)        \
  ROW(tild, '~', 704, 0, "error ~", 73)               \
  ROW(exclam, '!', 561, 0, "error !", 74)             \
  ROW(at, '@', 562, 0, "error @", 75)                 \
  ROW(pound, '#', 563, 0, "error #", 76)              \
  ROW(dollar, '$', 564, 0, "error $", 77)             \
  ROW(percent, '%', 565, 0, "error %", 78)            \
  ROW(caret, '^', 566, 0, "error ^", 79)              \
  ROW(amper, '&', 567, 0, "error &", 80)              \
  ROW(aster, '*', 568, 0, "error *", 81)              \
  ROW(lparen, '(', 569, 0, "error (", 82)             \
  ROW(rparen, ')', 560, 0, "error )", 83)             \
  ROW(under, '_', 701, 0, "error _", 84)              \
  ROW(plus, '+', 699, 0, "error +", 85)               \
  ROW(lbrace, '{', 731, 0, "error {", 86)             \
  ROW(rbrace, '}', 733, 0, "error }", 87)             \
  ROW(colon, ':', 698, 0, "error :", 88)              \
  ROW(quote, '"', 734, 0, "error \"", 93)             \
  ROW(vbar, '|', 732, 0, "error |", 89)               \
  ROW(langle, '<', 700, 0, "error <", 90)             \
  ROW(rangle, '>', 702, 0, "error >", 91)             \
  ROW(question, '?', 703, 0, "error ?", 92)           \
  ROW(bs, 8, 8, 328, "error backspace", 94)           \
  ROW(ctrlx, 24, 344, 0, "error ctrlx", 95)           \
  ROW(altx, 25, 1112, 0, "error ctrlx", 96)
