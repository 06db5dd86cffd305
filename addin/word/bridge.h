// The command bridge: every step the add-in takes in the word processor is one command number and a
// 568-byte argument block handed to the host's `wdCommandDispatch`; the host may write values back into
// the block (dialog fields read in mode 2, a string return). Also the add-in's message and trace boxes.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "host.h"

namespace tibet {

// Kinds of a record's value (flag bits 0-3).
inline constexpr int kind_short = 1;
inline constexpr int kind_long = 2;
inline constexpr int kind_double = 3;
inline constexpr int kind_string = 4;

// Dialog-field modes (flag bits 5-6).
inline constexpr int mode_apply = 1;
inline constexpr int mode_read = 2;

inline constexpr int kMaxArgs = 34;
inline constexpr std::int32_t kBadFormat = 0xFFFF;

// The word processor's commands that the add-in issues.
namespace cmd {
inline constexpr std::uint16_t register_command = 0x8176;
inline constexpr std::uint16_t new_toolbar = 0x024A;
inline constexpr std::uint16_t add_button = 0x8175;
inline constexpr std::uint16_t size_toolbar = 0x815C;
inline constexpr std::uint16_t assign_key = 0x01B0;
inline constexpr std::uint16_t message_box = 0x802B;
inline constexpr std::uint16_t set_font = 0x807C;
inline constexpr std::uint16_t insert = 0x8012;
inline constexpr std::uint16_t delete_back = 0xC012;
inline constexpr std::uint16_t prompt = 0x80B1;
inline constexpr std::uint16_t edit_options = 0x00E0;
inline constexpr std::uint16_t autoformat_options = 0x016D;
inline constexpr std::uint16_t autocorrect_options = 0x017A;
}  // namespace cmd

struct command_arg {
  // On 64-bit builds the 8 bytes hold a whole string address.
  union {
    std::int16_t s;
    std::int32_t l;
    double d;
    const char* text;
    char* buffer;
    std::uint64_t raw;
  } value;
  std::uint16_t buffer_size;
  std::uint16_t flags;
  std::uint16_t field;
  std::uint16_t zero;

  int kind() const { return flags & 0x0F; }
  int mode() const { return (flags >> 5) & 0x03; }
};

struct command_block {
  std::uint16_t count;
  std::uint8_t zero[6];
  command_arg ret;
  command_arg args[kMaxArgs];
};

static_assert(std::endian::native == std::endian::little, "the block is little-endian");
static_assert(sizeof(command_arg) == 16);
static_assert(offsetof(command_arg, buffer_size) == 8);
static_assert(offsetof(command_arg, flags) == 10);
static_assert(offsetof(command_arg, field) == 12);
static_assert(offsetof(command_arg, zero) == 14);
static_assert(sizeof(command_block) == 568);
static_assert(offsetof(command_block, ret) == 8);
static_assert(offsetof(command_block, args) == 24);

// The calling convention of every entry between the add-in and its host, both ways: the word processor's
// (stdcall on 32-bit Windows; one convention elsewhere).
#if defined(_WIN32) && defined(__i386__)
#define TIBET_CALL __stdcall
#else
#define TIBET_CALL
#endif

// The host's command entry: command id, dialog options, argument count, first argument, return record.
using DispatchFn = std::int32_t(TIBET_CALL*)(std::uint16_t id, std::uint16_t dialog_options,
                                             std::uint16_t count, command_arg* args, command_arg* ret);

void init_block(command_block& block, int return_kind, char* buffer, int buffer_size);
// Each fills the next argument record; arguments past the 34th are dropped.
void add_short(command_block& block, std::int16_t value);
void add_long(command_block& block, std::int32_t value);
void add_double(command_block& block, double value);
void add_string(command_block& block, const char* value);
void add_short_field(command_block& block, std::int16_t value, std::uint16_t field, int mode);
void add_string_field(command_block& block, const char* text, std::uint16_t field, int mode,
                      std::uint16_t buffer_size);

// Calls the host. A result whose low 16 bits are not zero is a failure.
std::int32_t call_host(std::uint16_t id, std::uint16_t dialog_options, std::uint16_t count, command_arg* args,
                       command_arg* ret);

// Replaces the lookup of `wdCommandDispatch` in the program (null: look it up again); for tests.
void set_dispatcher(DispatchFn dispatcher);

// One value for run_command; the format letter says how it is passed.
struct HostValue {
  enum class Type { integer, real, text };
  HostValue(int v) : type(Type::integer), integer(v) {}
  HostValue(double v) : type(Type::real), real(v) {}
  HostValue(const char* v) : type(Type::text), text(v) {}
  Type type;
  long long integer = 0;
  double real = 0;
  const char* text = nullptr;
};

// Builds the block with one argument per format letter (i short, l long, d double, s string) and calls
// the host, with the return record only when return_kind is not 0. An unknown letter, a letter that does
// not suit its value, or a count of letters other than the count of values gives 0xFFFF and no call.
std::int32_t run_command_list(command_block& block, std::uint16_t id, int return_kind, char* buffer,
                              int buffer_size, std::string_view format,
                              std::initializer_list<HostValue> values);

template <typename... Values>
std::int32_t run_command(command_block& block, std::uint16_t id, int return_kind, char* buffer,
                         int buffer_size, std::string_view format, Values... values) {
  return run_command_list(block, id, return_kind, buffer, buffer_size, format, {HostValue(values)...});
}

// Message boxes: `trace` only for a negative level ("Tsendrel Debug"), `show_error` ("Tsendrel Error").
void trace(const char* text, int level);
void show_error(const char* text);
void show_error_code(std::int16_t code);

}  // namespace tibet
