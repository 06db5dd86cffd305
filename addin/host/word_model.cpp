#include "word_model.h"

#include <algorithm>
#include <cinttypes>

#include "keyboard.h"

namespace wordhost {
namespace {

using tibet::command_arg;

constexpr std::uint16_t kOptionGroups[][9] = {
    {tibet::cmd::edit_options, 761, 657, 927},
    {tibet::cmd::autoformat_options, 863, 864, 865, 866, 1031, 1032, 1026},
    {tibet::cmd::autocorrect_options, 734, 735, 736},
};

std::string quoted(const char* text) {
  if (text == nullptr) return "null";
  std::string out = "\"";
  for (const char* p = text; *p != '\0'; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 32 || c >= 127) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string value_text(const command_arg& arg) {
  switch (arg.kind()) {
    case tibet::kind_short:
      return std::to_string(arg.value.s);
    case tibet::kind_long:
      return std::to_string(arg.value.l);
    case tibet::kind_double: {
      char text[32];
      std::snprintf(text, sizeof text, "%g", arg.value.d);
      return text;
    }
    case tibet::kind_string:
      return quoted(arg.value.text);
    default:
      return "?";
  }
}

// The positional arguments of a command, checked against the kinds it takes ("s", "i").
class Args {
 public:
  Args(std::uint16_t count, command_arg* args) : count_(count), args_(args) {}
  bool match(std::string_view kinds, std::size_t optional = 0) const {
    if (count_ > kinds.size() || count_ + optional < kinds.size()) return false;
    for (std::size_t i = 0; i < count_; ++i) {
      const int want = kinds[i] == 's' ? tibet::kind_string : tibet::kind_short;
      if (args_[i].kind() != want || args_[i].field != 0) return false;
      if (want == tibet::kind_string && args_[i].value.text == nullptr) return false;
    }
    return true;
  }
  std::string text(int i) const { return i < count_ ? args_[i].value.text : ""; }
  int number(int i) const { return args_[i].value.s; }

 private:
  std::uint16_t count_;
  command_arg* args_;
};

command_arg* find_field(std::uint16_t count, command_arg* args, std::uint16_t field, int kind) {
  for (std::uint16_t i = 0; i < count; ++i) {
    if (args[i].field == field && args[i].kind() == kind) {
      if (kind == tibet::kind_string && args[i].value.text == nullptr) return nullptr;
      return &args[i];
    }
  }
  return nullptr;
}

}  // namespace

WordModel::WordModel() {
  // The user's typing aids are on until the add-in clears them.
  for (const auto& group : kOptionGroups) {
    for (int i = 1; i < 9 && group[i] != 0; ++i) options_[group[0]][group[i]] = 1;
  }
}

std::int16_t WordModel::option(std::uint16_t group, std::uint16_t field) const {
  const auto g = options_.find(group);
  if (g == options_.end()) return 0;
  const auto f = g->second.find(field);
  return f == g->second.end() ? 0 : f->second;
}

std::string WordModel::format_call(std::uint16_t id, std::uint16_t dialog_options, std::uint16_t count,
                                   const command_arg* args) {
  char head[32];
  std::snprintf(head, sizeof head, "0x%04X %d", id, dialog_options);
  std::string line = head;
  for (std::uint16_t i = 0; i < count; ++i) {
    line += ' ';
    if (args[i].field != 0) {
      line +=
          std::to_string(args[i].field) + "=" + value_text(args[i]) + "/" + std::to_string(args[i].mode());
    } else {
      line += value_text(args[i]);
    }
  }
  return line;
}

void WordModel::print(const std::string& line) {
  if (out != nullptr) std::fprintf(out, "%s\n", line.c_str());
}

std::int32_t WordModel::dispatch(std::uint16_t id, std::uint16_t dialog_options, std::uint16_t count,
                                 command_arg* args, command_arg* ret) {
  if (count > tibet::kMaxArgs || (count > 0 && args == nullptr)) return 1;
  const std::string line = format_call(id, dialog_options, count, args);
  calls_.push_back(line);
  if (log_commands) print(line);
  const int nth = ++call_counts_[id];
  for (const Failure& failure : failures_) {
    if (failure.id == id && (failure.nth == 0 || failure.nth == nth)) return 1;
  }
  return run(id, dialog_options, count, args, ret);
}

std::int32_t WordModel::run(std::uint16_t id, std::uint16_t dialog_options, std::uint16_t count,
                            command_arg* args, command_arg* ret) {
  namespace cmd = tibet::cmd;
  const Args positional(count, args);
  switch (id) {
    case cmd::register_command: {
      if (!positional.match("iss", 1)) return 1;
      const std::string name = positional.text(1);
      if (export_exists && !export_exists(name)) return 1;
      commands_[name] = positional.text(2);
      return 0;
    }
    case cmd::new_toolbar: {
      const command_arg* name = find_field(count, args, 1, tibet::kind_string);
      if (dialog_options != 2 || name == nullptr) return 1;
      toolbars_[name->value.text] = Toolbar{};
      return 0;
    }
    case cmd::add_button: {
      if (!positional.match("siissi")) return 1;
      const auto toolbar = toolbars_.find(positional.text(0));
      if (toolbar == toolbars_.end() || commands_.count(positional.text(3)) == 0) return 1;
      toolbar->second.buttons.push_back({positional.number(1), positional.text(3), positional.text(4)});
      return 0;
    }
    case cmd::size_toolbar: {
      if (!positional.match("si")) return 1;
      const auto toolbar = toolbars_.find(positional.text(0));
      if (toolbar == toolbars_.end()) return 1;
      toolbar->second.width = positional.number(1);
      return 0;
    }
    case cmd::assign_key: {
      if (dialog_options != 2) return 1;
      if (find_field(count, args, 4, tibet::kind_short) != nullptr) {
        bindings_.clear();
        return 0;
      }
      const command_arg* key = find_field(count, args, 2, tibet::kind_short);
      const command_arg* command = find_field(count, args, 1, tibet::kind_string);
      if (key == nullptr || command == nullptr || commands_.count(command->value.text) == 0) return 1;
      bindings_[key->value.s] = command->value.text;
      return 0;
    }
    case cmd::message_box: {
      if (!positional.match("ss")) return 1;
      messages_.push_back({positional.text(1), positional.text(0)});
      std::string text = positional.text(0);
      while (!text.empty() && text.back() == '\n') text.pop_back();
      print("message " + positional.text(1) + ": " + text);
      return 0;
    }
    case cmd::set_font:
      if (!positional.match("si")) return 1;
      font_ = positional.text(0);
      size_ = positional.number(1);
      return 0;
    case cmd::insert:
      if (!positional.match("s")) return 1;
      for (const char c : positional.text(0)) insert(static_cast<unsigned char>(c));
      return 0;
    case cmd::delete_back:
      if (!positional.match("i") || positional.number(0) > 0) return 1;
      erase_back(-positional.number(0));
      return 0;
    case cmd::prompt: {
      if (!positional.match("sss") || ret == nullptr || ret->kind() != tibet::kind_string ||
          ret->value.buffer == nullptr || ret->buffer_size == 0) {
        return 1;
      }
      std::optional<std::string> reply;
      if (!replies_.empty()) {
        reply = replies_.front();
        replies_.pop_front();
      }
      print("prompt " + positional.text(1) + ": " + positional.text(0) + " [" + positional.text(2) + "] -> " +
            (reply ? *reply : "cancel"));
      if (!reply) return 1;
      const std::size_t n = std::min<std::size_t>(reply->size(), ret->buffer_size - 1u);
      reply->copy(ret->value.buffer, n);
      ret->value.buffer[n] = '\0';
      return 0;
    }
    case cmd::edit_options:
    case cmd::autoformat_options:
    case cmd::autocorrect_options: {
      if (dialog_options != 2) return 1;
      auto& group = options_[id];
      for (std::uint16_t i = 0; i < count; ++i) {
        command_arg& arg = args[i];
        if (arg.field == 0 || arg.kind() != tibet::kind_short) return 1;
        if (arg.mode() & tibet::mode_apply) group[arg.field] = arg.value.s;
        const auto known = group.find(arg.field);
        if ((arg.mode() & tibet::mode_read) && known != group.end()) arg.value.s = known->second;
      }
      return 0;
    }
    default:
      return 1;
  }
}

void WordModel::insert(unsigned char code) {
  document_.push_back({code, font_, size_});
}

void WordModel::erase_back(int n) {
  document_.resize(document_.size() - std::min<std::size_t>(document_.size(), static_cast<std::size_t>(n)));
}

void WordModel::press_unbound(int key_code) {
  if (key_code == 8) {
    erase_back(1);
  } else if (key_code == 13) {
    insert(13);
  } else if (const int c = char_for_key(key_code); c >= 0) {
    insert(static_cast<unsigned char>(c));
  }
}

}  // namespace wordhost
