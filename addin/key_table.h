// The 98 key commands: ROW(name, key, binding, second binding, failure message). The export `name` hands
// `key` to the composer; it is bound to the word processor's key code `binding` (virtual key + 256 Ctrl +
// 512 Shift + 1024 Alt), and to `second binding` too when that is not 0; `failure message` is shown when
// a binding fails (null: nothing is shown). Rows are in registration order.
#pragma once

#define TIBET_LETTER(ROW, lower, upper) ROW(lower, #lower[0], #upper[0], 0, nullptr)
#define TIBET_CAPITAL(ROW, upper) ROW(upper##C, #upper[0], 512 + #upper[0], 0, nullptr)
#define TIBET_DIGIT(ROW, digit) ROW(A##digit, #digit[0], #digit[0], 0, nullptr)

#define TIBET_KEY_COMMANDS(ROW)                   \
  TIBET_LETTER(ROW, a, A)                         \
  TIBET_LETTER(ROW, b, B)                         \
  TIBET_LETTER(ROW, c, C)                         \
  TIBET_LETTER(ROW, d, D)                         \
  TIBET_LETTER(ROW, e, E)                         \
  TIBET_LETTER(ROW, f, F)                         \
  TIBET_LETTER(ROW, g, G)                         \
  TIBET_LETTER(ROW, j, J)                         \
  TIBET_LETTER(ROW, k, K)                         \
  TIBET_LETTER(ROW, l, L)                         \
  TIBET_LETTER(ROW, m, M)                         \
  TIBET_LETTER(ROW, n, N)                         \
  TIBET_LETTER(ROW, o, O)                         \
  TIBET_LETTER(ROW, p, P)                         \
  TIBET_LETTER(ROW, q, Q)                         \
  TIBET_LETTER(ROW, r, R)                         \
  TIBET_LETTER(ROW, s, S)                         \
  TIBET_LETTER(ROW, t, T)                         \
  TIBET_LETTER(ROW, u, U)                         \
  TIBET_LETTER(ROW, w, W)                         \
  TIBET_LETTER(ROW, x, X)                         \
  TIBET_LETTER(ROW, y, Y)                         \
  TIBET_LETTER(ROW, z, Z)                         \
  ROW(hl, 'h', 'H', 0, nullptr)                   \
  ROW(il, 'i', 'I', 0, nullptr)                   \
  ROW(vl, 'v', 'V', 0, nullptr)                   \
  TIBET_CAPITAL(ROW, A)                           \
  TIBET_CAPITAL(ROW, B)                           \
  TIBET_CAPITAL(ROW, C)                           \
  TIBET_CAPITAL(ROW, D)                           \
  TIBET_CAPITAL(ROW, E)                           \
  TIBET_CAPITAL(ROW, F)                           \
  TIBET_CAPITAL(ROW, G)                           \
  TIBET_CAPITAL(ROW, H)                           \
  TIBET_CAPITAL(ROW, I)                           \
  TIBET_CAPITAL(ROW, J)                           \
  TIBET_CAPITAL(ROW, K)                           \
  TIBET_CAPITAL(ROW, L)                           \
  TIBET_CAPITAL(ROW, M)                           \
  TIBET_CAPITAL(ROW, N)                           \
  TIBET_CAPITAL(ROW, O)                           \
  TIBET_CAPITAL(ROW, P)                           \
  TIBET_CAPITAL(ROW, Q)                           \
  TIBET_CAPITAL(ROW, R)                           \
  TIBET_CAPITAL(ROW, S)                           \
  TIBET_CAPITAL(ROW, T)                           \
  TIBET_CAPITAL(ROW, U)                           \
  TIBET_CAPITAL(ROW, V)                           \
  TIBET_CAPITAL(ROW, W)                           \
  TIBET_CAPITAL(ROW, X)                           \
  TIBET_CAPITAL(ROW, Y)                           \
  TIBET_CAPITAL(ROW, Z)                           \
  TIBET_DIGIT(ROW, 0)                             \
  TIBET_DIGIT(ROW, 1)                             \
  TIBET_DIGIT(ROW, 2)                             \
  TIBET_DIGIT(ROW, 3)                             \
  TIBET_DIGIT(ROW, 4)                             \
  TIBET_DIGIT(ROW, 5)                             \
  TIBET_DIGIT(ROW, 6)                             \
  TIBET_DIGIT(ROW, 7)                             \
  TIBET_DIGIT(ROW, 8)                             \
  TIBET_DIGIT(ROW, 9)                             \
  ROW(semi, ';', 186, 0, "error ;")               \
  ROW(equal, '=', 187, 0, "error =")              \
  ROW(comma, ',', 188, 0, "error ,")              \
  ROW(dash, '-', 189, 0, "error -")               \
  ROW(period, '.', 190, 0, "error .")             \
  ROW(fslash, '/', 191, 0, "error forward slash") \
  ROW(grave, '`', 192, 0, "error `")              \
  ROW(lbrack, '[', 219, 0, "error [")             \
  ROW(bslash, '\\', 220, 0, "error backslash")    \
  ROW(rbrack, ']', 221, 0, "error ]")             \
  ROW(apost, '\'', 222, 0, "error '")             \
  ROW(space, ' ', 32, 0, "error spacebar")        \
  ROW(tild, '~', 704, 0, "error ~")               \
  ROW(exclam, '!', 561, 0, "error !")             \
  ROW(at, '@', 562, 0, "error @")                 \
  ROW(pound, '#', 563, 0, "error #")              \
  ROW(dollar, '$', 564, 0, "error $")             \
  ROW(percent, '%', 565, 0, "error %")            \
  ROW(caret, '^', 566, 0, "error ^")              \
  ROW(amper, '&', 567, 0, "error &")              \
  ROW(aster, '*', 568, 0, "error *")              \
  ROW(lparen, '(', 569, 0, "error (")             \
  ROW(rparen, ')', 560, 0, "error )")             \
  ROW(under, '_', 701, 0, "error _")              \
  ROW(plus, '+', 699, 0, "error +")               \
  ROW(lbrace, '{', 731, 0, "error {")             \
  ROW(rbrace, '}', 733, 0, "error }")             \
  ROW(colon, ':', 698, 0, "error :")              \
  ROW(quote, '"', 734, 0, "error \"")             \
  ROW(vbar, '|', 732, 0, "error |")               \
  ROW(langle, '<', 700, 0, "error <")             \
  ROW(rangle, '>', 702, 0, "error >")             \
  ROW(question, '?', 703, 0, "error ?")           \
  ROW(bs, 8, 8, 328, "error backspace")           \
  ROW(ctrlx, 24, 344, 0, "error ctrlx")           \
  ROW(altx, 25, 1112, 0, "error ctrlx")
