#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "db/session.h"
#include "db/sql_text.h"
#include "db/statement.h"
#include "records/layouts.h"

namespace varnoklis {

/// Captions and value codes of a balance set, read for a terminal or for a person.
extern const SqlText kTerminalDisplayLinesSql;
extern const SqlText kTerminalDisplayCodeSql;
extern const SqlText kPersonDisplayLinesSql;
extern const SqlText kPersonDisplayCodeSql;

/// Width of a display label, as its field in the record: the caption and one blank.
inline constexpr std::size_t kLabelWidth = records::kLabelWidth;

/// One line of a balance set as shown on the terminal display.
struct DisplayText {
  std::int32_t line = 0;   ///< line number in the balance set, 1 to 8 on the display
  std::int32_t shift = 0;  ///< label shift; 2 moves the caption one position right
  std::string label;       ///< caption as "%-12s ", 13 characters; empty when never filled
  std::string code;        ///< value code such as "#W2", at most 10 characters
  std::string value;       ///< figure or date placed by the builder

  /// Empties the entry, keeping its storage.
  void clear();
};

/// The eight display lines of a balance set; entry i holds line i + 1.
using DisplayTable = std::array<DisplayText, 8>;

/// Empties every entry of `table`.
void clear_table(DisplayTable& table);

/// Stores `entry` at its line number; false (nothing stored) for a line outside 1 to 8.
bool store_line(DisplayTable& table, const DisplayText& entry);

/// Cursor over the display lines of a terminal's or a person's balance set.
class DisplayTexts {
 public:
  /// Opens the lines of the terminal profile named `terminal`: 0, -1, or the native error number.
  int open_terminal(Session& session, std::string_view terminal);
  /// Opens the lines of person `person` of the current client schema; results as open_terminal.
  int open_person(Session& session, std::string_view person);
  /// Fills `entry` with the next line and looks up its value code. 0 when filled; at the end of
  /// the lines 100 (terminal) or -1 (person); -1 when not open or the fetch failed; the code
  /// lookup's result (100 when the line has no code) otherwise. The terminal variant prints
  /// progress lines.
  int fetch(DisplayText& entry);
  /// Closes the cursor, if open.
  void close() { cursor_.close(); }

 private:
  enum class Source { Terminal, Person };

  int open(Session& session, Source source, std::string_view key, const SqlText& sql);
  int read_code(DisplayText& entry);

  Cursor cursor_;
  Session* session_ = nullptr;
  Source source_ = Source::Terminal;
  std::string key_;
};

}  // namespace varnoklis
