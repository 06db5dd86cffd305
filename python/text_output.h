// The str of a text route's output: reads the UTF-8 bytes the engine wrote, gives a new reference (null
// with a Python exception set when memory ran out).
#pragma once

#include <Python.h>

#include <string_view>

namespace tsendrel_python {

// What bytes.decode("utf-8", "surrogateescape") gives, character for character. Tibetan and the ASCII
// between it (characters of two bytes in the str) is decoded here in one pass, two Tibetan characters at a
// time, where CPython's general decoder takes about three times as long; any other text goes to that
// decoder.
PyObject* decoded_output(std::string_view bytes);

}  // namespace tsendrel_python
