// The batch loops of the converter, shared by the windows and the command line: fill the conversion
// request from the user's choices, name each output after its input with its route's extension ("rtf", or
// "bo.txt" for Unicode text), keep paths within 259 characters, run the driver on each file and log
// progress as status lines of the context.
// A batch may convert its files on several threads, each with a context of its own; every file's lines
// then reach the context's sinks together and in batch order, as one thread would give them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion_context.h"
#include "conversion_request.h"
#include "convert_file.h"

namespace tarvex {

inline constexpr int kMaxPath = 260;  // paths hold at most 259 characters
inline constexpr int kDefaultTibSize = 28;
inline constexpr int kDefaultSmallTibSize = 24;

enum FontFamily { kNoFamily = -1, kKorlam = 0, kEkorlam = 1 };

// The choices of the main window, as the user left them.
struct BatchChoices {
  int conversion_type = -1;          // id of the selected route, -1 when none is selected
  int font_family = kEkorlam;        // index of the selected family, kNoFamily when none is selected
  std::string tib_size_text = "28";  // the size fields' texts, as typed
  std::string small_tib_size_text = "24";
  bool keep_cr = false;
  std::string unicode_font = kDefaultUnicodeFont;  // at most kMaxUnicodeFontName characters are used
};

// The route id of each row of the main window's conversion list (the routes with a caption, in the
// table's order). -1 for a row that is none.
int conversion_of_row(int row);

// What the front end does around a batch, besides the status lines that go to the context's sink. Every
// member may be left empty.
struct BatchHooks {
  std::function<void()> clear_status;    // empty the status window and show it
  std::function<void()> pending_events;  // let the user interface process its events
};

struct BatchResult {
  int processed = 0;  // the count of "%d file(s) processed": skipped and failed files included
  int converted = 0;
  int failed = 0;   // the driver returned -1
  int skipped = 0;  // path too long, or an output that would overwrite a file of the batch
  // The summary lines' counts, summed over the files whose syllables were counted.
  int counted = 0;
  std::int64_t syllables = 0;
  std::int64_t not_converted = 0;
};

// A file selected in the main window: the directory of the directory list and the file's name.
struct SelectedFile {
  std::string directory;
  std::string name;
};

// Fills `request` from the choices, logging the bad-size lines; the conversion type keeps its previous
// value when none is selected. Returns 0, or a count of the bad size fields.
int fill_request(ConversionRequest& request, const BatchChoices& choices, const ConversionContext& context,
                 const BatchHooks& hooks = {});

// The Convert button: clears the status window, fills the request, converts every selected file and logs
// "%d file(s) processed".
BatchResult convert_selected(ConversionContext& context, ConversionRequest& request,
                             const BatchChoices& choices, const std::vector<SelectedFile>& files,
                             const BatchHooks& hooks = {});

// The main-window loop alone, on an already filled request (no clearing, no filling). With `jobs` above 1
// the files are converted on that many threads; what the batch logs and writes is the same.
BatchResult convert_selected_files(ConversionContext& context, const ConversionRequest& request,
                                   const std::vector<SelectedFile>& files, int jobs = 1);

// Convert Files of the wild-card window: clears the status window, converts the found files (full paths)
// with the request as last filled, and logs "%d file(s) processed".
BatchResult convert_found_files(ConversionContext& context, const ConversionRequest& request,
                                const std::vector<std::string>& paths, const BatchHooks& hooks = {},
                                int jobs = 1);

// One input to one named output (the command line's -o), with the same lines and length rules; either
// may be a stream (standard input or output), which the lines name.
BatchResult convert_to_output(ConversionContext& context, const ConversionRequest& request,
                              const Endpoint& input, const Endpoint& output, Stage stage = Stage::complete);
BatchResult convert_to_output(ConversionContext& context, const ConversionRequest& request,
                              const std::string& input, const std::string& output,
                              Stage stage = Stage::complete);

// Output names of the two windows: "%s\%s.rtf" with a three-letter extension cut off the name, and the
// full path with its three-letter extension replaced by "rtf" (or ".rtf" appended), where "rtf" is the
// route's extension: a conversion to Unicode text is named ".bo.txt" (notes.txt and notes give notes.bo.txt).
std::string main_output_path(std::string_view directory, std::string_view name,
                             int conversion_type = kDefaultRouteId);
std::string wildcard_output_path(std::string_view input_path, int conversion_type = kDefaultRouteId);

// Windows-style file-name matching: `*` any run, `?` one character, letters in either case, "*.*" every name.
bool name_matches(std::string_view pattern, std::string_view name);

// Appends to `found` the full path of every file (not directory) that matches `pattern` in `directory`
// (which ends with the path separator) and in every directory below it: files first, then subdirectories.
// Returns the number of files appended.
int search_files(const std::string& directory, std::string_view pattern, std::vector<std::string>& found,
                 const BatchHooks& hooks = {});

}  // namespace tarvex
