#include "terminal/options.h"

#include <cctype>
#include <cstdio>
#include <string_view>

namespace dravel {

namespace {

// How an option takes its value.
enum class Form {
  FLAG,            // no value: the name alone
  GLUED,           // -p<text>: the rest of the argument, which may be empty
  GLUED_OR_NEXT,   // -d<device> or -d <device>; a -d at the end sets nothing
  EQUALS_OR_NEXT,  // --timeout=N or --timeout N; at the end its value is empty
  // --timestamps=X, --timestamps X when the next argument is a value it takes, else alone
  // (its value empty): a name it does not take stays a script's.
  EQUALS_OR_WORD,
};

struct OptionRow {
  const char* name;
  Form form;
  // Takes the value; false when it is not one the option accepts.
  bool (*set)(Options& o, const std::string& value);
  const char* bad_value;  // the usage error when set says false
};

constexpr long TIMEOUT_LIMIT = 10'000'000;

bool on_off(const std::string& text, std::optional<bool>& on) {
  if (text != "on" && text != "off") return false;
  on = text == "on";
  return true;
}

bool parse_seconds(const std::string& text, int& seconds) {
  if (text.empty() || text.size() > 8) return false;
  long n = 0;
  for (char c : text) {
    if (std::isdigit(static_cast<unsigned char>(c)) == 0) return false;
    n = n * 10 + (c - '0');
  }
  if (n <= 0 || n > TIMEOUT_LIMIT) return false;
  seconds = static_cast<int>(n);
  return true;
}

// An option whose value is a name or a path, which cannot be empty.
template <std::string Options::*field>
bool set_text(Options& o, const std::string& value) {
  o.*field = value;
  return !value.empty();
}

// clang-format off
constexpr OptionRow OPTIONS[] = {
    {"--help", Form::FLAG, [](Options& o, const std::string&) { return o.show_help = true; }, ""},
    {"--version", Form::FLAG, [](Options& o, const std::string&) { return o.show_version = true; }, ""},
    {"--list", Form::FLAG, [](Options& o, const std::string&) { return o.show_list = true; }, ""},
    {"-l", Form::FLAG, [](Options& o, const std::string&) { return o.show_list = true; }, ""},
    {"--batch", Form::FLAG, [](Options& o, const std::string&) { return o.batch = true; }, ""},
    {"-p", Form::GLUED, [](Options& o, const std::string& v) { o.port_text = v; return true; }, ""},
    // A -B that reads as no number leaves the rate as it was.
    {"-B", Form::GLUED, [](Options& o, const std::string& v) {
       long baud = 0;
       if (std::sscanf(v.c_str(), "%ld", &baud) == 1) o.baud_rate = baud;
       return true;
     }, ""},
    {"-d", Form::GLUED_OR_NEXT, [](Options& o, const std::string& v) { o.device = v; return true; }, ""},
    {"--board", Form::EQUALS_OR_NEXT, set_text<&Options::board>, "--board needs a board's name"},
    {"-b", Form::GLUED_OR_NEXT, set_text<&Options::board>, "--board needs a board's name"},
    {"--config", Form::EQUALS_OR_NEXT, set_text<&Options::config_file>, "--config needs a file"},
    {"--junit", Form::EQUALS_OR_NEXT, set_text<&Options::junit_file>, "--junit needs a file"},
    {"--load-dir", Form::EQUALS_OR_NEXT, set_text<&Options::load_dir>, "--load-dir needs a directory"},
    {"--timeout", Form::EQUALS_OR_NEXT,
     [](Options& o, const std::string& v) { return parse_seconds(v, o.timeout_seconds); },
     "--timeout needs whole seconds from 1"},
    {"--timestamps-screen", Form::FLAG, [](Options& o, const std::string&) { return o.timestamps_screen = true; }, ""},
    {"--timestamps", Form::EQUALS_OR_WORD, [](Options& o, const std::string& v) {
       std::optional<StampMode> m = v.empty() ? StampMode::Abs : parse_stamp_mode(v);
       if (m) o.timestamps = m;
       return m.has_value();
     }, "--timestamps takes abs, delta, iso or off"},
    {"--dtr", Form::EQUALS_OR_NEXT, [](Options& o, const std::string& v) { return on_off(v, o.dtr); },
     "--dtr needs on or off"},
    {"--rts", Form::EQUALS_OR_NEXT, [](Options& o, const std::string& v) { return on_off(v, o.rts); },
     "--rts needs on or off"},
};
// clang-format on

bool starts_with(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// The row `arg` names, or nullptr; `glued` is set to where its value starts within `arg`.
const OptionRow* row_of(const std::string& arg, std::size_t& glued) {
  for (const OptionRow& r : OPTIONS) {
    std::string_view name = r.name;
    glued = name.size();
    switch (r.form) {
      case Form::FLAG:
        if (arg == name) return &r;
        break;
      case Form::GLUED:
      case Form::GLUED_OR_NEXT:
        if (starts_with(arg, name)) return &r;
        break;
      case Form::EQUALS_OR_NEXT:
      case Form::EQUALS_OR_WORD:
        if (arg == name) return &r;
        if (starts_with(arg, name) && arg.size() > name.size() && arg[name.size()] == '=') {
          glued = name.size() + 1;
          return &r;
        }
        break;
    }
  }
  return nullptr;
}

struct Failure {
  std::string text;
  bool batch_only;  // an unknown option may be a script name when no batch is asked for
};

}  // namespace

OptionsResult parse_options(const std::vector<std::string>& args) {
  OptionsResult result;
  Options& o = result.options;
  std::vector<Failure> failures;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::size_t glued = 0;
    const OptionRow* row = row_of(a, glued);
    if (row == nullptr) {
      if (a.size() > 1 && a[0] == '-') failures.push_back({"unknown option " + a, true});
      o.scripts.push_back(a);
      continue;
    }
    std::string value;
    if (row->form == Form::EQUALS_OR_WORD && a.size() == glued) {
      if (i + 1 < args.size() && row->set(o, args[i + 1]))
        ++i;
      else
        row->set(o, "");
      continue;
    }
    bool next = (row->form == Form::GLUED_OR_NEXT || row->form == Form::EQUALS_OR_NEXT) &&
                a.size() == glued;
    if (next && i + 1 < args.size()) {
      value = args[++i];
    } else if (next && row->form == Form::GLUED_OR_NEXT) {
      // -d at the end sets nothing, as it always did; an option that must name something says so.
      if (*row->bad_value != '\0') failures.push_back({row->bad_value, false});
      continue;
    } else if (!next) {
      value = a.substr(glued);
    }
    if (!row->set(o, value)) failures.push_back({row->bad_value, false});
  }
  for (const Failure& f : failures) {
    if (f.batch_only && !o.batch) continue;
    result.error = f.text;
    return result;
  }
  if (o.timeout_seconds != 0 && !o.batch)
    result.error = "--timeout is for --batch runs";
  else if (!o.junit_file.empty() && !o.batch)
    result.error = "--junit is for --batch runs";
  else if (o.batch && o.scripts.empty())
    result.error = "--batch needs a script to run";
  return result;
}

}  // namespace dravel
