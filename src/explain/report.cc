#include "explain/report.h"

#include <cstdio>

#include "base/encoding.h"
#include "base/output.h"
#include "explain/file_check.h"

namespace varnoklis::explain {

namespace {

// A value from the command line passes as typed when it is UTF-8 already.
bool valid_utf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t extra = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
    } else if (c >= 0x80) {
      return false;
    }
    if (i + extra >= text.size() && extra > 0) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += extra + 1;
  }
  return true;
}

std::string from_cp1252(std::string_view text) {
  return json_string(utf8_of_cp1252(text));
}

std::string from_command_line(std::string_view text) {
  return valid_utf8(text) ? json_string(text) : from_cp1252(text);
}

const char* boolean(bool value) {
  return value ? "true" : "false";
}

std::string questions_json(const std::vector<Question>& questions) {
  std::string out = "[";
  for (std::size_t q = 0; q < questions.size(); ++q) {
    const Question& question = questions[q];
    out += q == 0 ? "" : ", ";
    out += "{\"text\": " + from_cp1252(question.text) + ", \"rows\": [";
    for (std::size_t r = 0; r < question.rows.size(); ++r) {
      out += r == 0 ? "[" : ", [";
      for (std::size_t c = 0; c < question.rows[r].size(); ++c) {
        const std::optional<std::string>& value = question.rows[r][c];
        out += c == 0 ? "" : ", ";
        out += value ? from_cp1252(*value) : "null";
      }
      out += "]";
    }
    out += "], \"from_memory\": ";
    out += boolean(question.from_memory);
    out += "}";
  }
  return out + "]";
}

std::string zone_json(const ZoneCheck& zone) {
  if (!zone.ran && !zone.reader1) return "null";
  std::string out = "{\"readers\": [";
  for (std::size_t i = 0; i < zone.readers.size(); ++i) {
    out += i == 0 ? "[" : ", [";
    out += std::to_string(zone.readers[i].first) + ", " + from_cp1252(zone.readers[i].second) + "]";
  }
  out += "], \"counts\": [";
  for (std::size_t i = 0; i < zone.counts.size(); ++i) {
    const auto& [reader, code, count] = zone.counts[i];
    out += i == 0 ? "[" : ", [";
    out += std::to_string(reader) + ", " + from_cp1252(code) + ", " + std::to_string(count) + "]";
  }
  out += "], \"result\": ";
  out += zone.ran ? boolean(zone.result) : "null";
  out += ", \"reader1\": ";
  out += zone.reader1 ? boolean(*zone.reader1) : "null";
  return out + "}";
}

std::string fields_json(const records::Layout& layout, const std::optional<std::string>& record) {
  std::string out = "[";
  if (record) {
    std::vector<std::string> fields = record_fields(layout, *record);
    for (std::size_t f = 0; f < fields.size() && f < layout.fields.size(); ++f) {
      out += f == 0 ? "" : ", ";
      out += "{\"name\": " + json_string(layout.fields[f].name) +
             ", \"value\": " + from_cp1252(fields[f]) + "}";
    }
  }
  return out + "]";
}

std::string file_json(const std::optional<FileComparison>& file) {
  if (!file) return "null";
  std::string out = "{\"path\": " + from_command_line(file->path);
  if (file->error) return out + ", \"error\": " + from_command_line(*file->error) + "}";
  out += ", \"records\": [";
  for (std::size_t i = 0; i < file->records.size(); ++i) {
    out += (i == 0 ? "" : ", ") + from_cp1252(file->records[i]);
  }
  out += "], \"same\": ";
  out += boolean(file->same);
  out += ", \"differs_in\": [";
  for (std::size_t i = 0; i < file->differs_in.size(); ++i) {
    out += (i == 0 ? "" : ", ") + json_string(file->differs_in[i]);
  }
  return out + "]}";
}

const char* stage_name(int stage) {
  static const char* const kNames[] = {"the badge's own class", "badge group", "cost centre",
                                       "cost-centre table",     "department",  "department list",
                                       "person entries"};
  return stage >= 0 && stage <= 6 ? kNames[stage] : "?";
}

const char* reason_text(const std::string& reason) {
  if (reason == "no_badge") return "no such badge in the central badge table";
  if (reason == "other_client") return "the badge belongs to no client this terminal's run visits";
  if (reason == "client_not_visited")
    return "its client is served, but the run cannot visit it (client file missing or schema name "
           "invalid)";
  if (reason == "validity") return "today lies outside the badge's validity window";
  if (reason == "badge_status") return "the badge's status is 4 or 8";
  if (reason == "no_location") return "the badge has no location row";
  if (reason == "location_status") return "every location row of the badge has status 4 or 8";
  return "every check passes, yet the badge cursor does not select it";
}

void line(std::string& out, const std::string& text) {
  out += text;
  out += '\n';
}

std::string shown(std::string_view cp1252) {
  return message_text(cp1252);
}

void questions_text(std::string& out, const std::vector<Question>& questions) {
  for (const Question& question : questions) {
    line(out, std::string("    ") + (question.from_memory ? "(from memory) " : "") +
                  shown(question.text));
    for (const TracedRow& row : question.rows) {
      std::string values = "      -> ";
      for (std::size_t c = 0; c < row.size(); ++c) {
        values += c == 0 ? "" : " | ";
        values += row[c] ? "'" + shown(*row[c]) + "'" : "NULL";
      }
      line(out, values);
    }
    if (question.rows.empty()) line(out, "      -> no row");
  }
}

void row_text(std::string& out, const records::Layout& layout, const Row& row, std::size_t n) {
  line(out, "Row " + std::to_string(n) + " of the badge cursor:");
  if (row.class_stage) {
    line(out, std::string("  class: from ") + stage_name(*row.class_stage));
  } else {
    line(out, "  class: none resolved (or this download function resolves none)");
  }
  const ZoneCheck& zone = row.zone;
  if (zone.ran) {
    std::string readers = "  terminal readers:";
    for (const auto& [reader, code] : zone.readers) {
      readers += " " + std::to_string(reader) + "=" + shown(code);
    }
    line(out, zone.readers.empty() ? "  terminal readers: none" : readers);
    for (const auto& [reader, code, count] : zone.counts) {
      line(out, "  reader " + std::to_string(reader) + ", zone " + shown(code) + ": " +
                    std::to_string(count) + " authorization(s) for the class");
    }
    line(out, std::string("  reader-zone check: ") +
                  (zone.result ? "authorized (access)" : "NOT authorized in any reader's zone"));
  }
  if (zone.reader1) {
    line(out, std::string("  reader-1 check: ") +
                  (*zone.reader1 ? "passed (time booking)" : "failed (type-3 authorization)"));
  }
  if (row.record) {
    line(out, "  record: \"" + shown(*row.record) + "\"");
    std::vector<std::string> fields = record_fields(layout, *row.record);
    for (std::size_t f = 0; f < fields.size() && f < layout.fields.size(); ++f) {
      line(out, "    " + std::string(layout.fields[f].name) + ": \"" + shown(fields[f]) + "\"");
    }
  } else {
    line(out, "  record: none (the builder keeps this row out of the file)");
  }
  if (row.lines) {
    line(out, "  messages:");
    std::string lines = *row.lines;
    if (!lines.empty() && lines.back() != '\n') lines += '\n';
    out += lines;
  }
  line(out, "  questions:");
  questions_text(out, row.questions);
}

}  // namespace

std::string json_string(std::string_view utf8) {
  std::string out = "\"";
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    unsigned point = c;
    // C1 controls arrive as the two bytes C2 80 to C2 9F.
    if (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
      point = static_cast<unsigned char>(utf8[i + 1]);
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (point < 0x20 || point == 0x7F || (point >= 0x80 && point < 0xA0)) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", point);
      out += escaped;
      if (point >= 0x80) ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string to_json(const Explanation& e, const records::Layout& layout, bool lines_utf8) {
  bool selected = !e.excluded_by.has_value();
  std::string out = "{\"keyword\": " + json_string(e.keyword) +
                    ", \"terminal\": " + from_command_line(e.terminal) +
                    ", \"badge\": " + from_command_line(e.badge) + ", \"selected\": ";
  out += boolean(selected);
  out += ", \"excluded_by\": ";
  out += e.excluded_by ? json_string(*e.excluded_by) : "null";
  out += ", \"setup_questions\": " + questions_json(e.setup_questions) + ", \"rows\": [";
  for (std::size_t i = 0; i < e.rows.size(); ++i) {
    const Row& row = e.rows[i];
    out += i == 0 ? "{" : ", {";
    out += "\"record\": " + (row.record ? from_cp1252(*row.record) : std::string("null"));
    out += ", \"lines\": ";
    if (!row.lines) {
      out += "null";
    } else {
      out += lines_utf8 ? json_string(*row.lines) : from_cp1252(*row.lines);
    }
    out += ", \"class_stage\": " +
           (row.class_stage ? std::to_string(*row.class_stage) : std::string("null"));
    out += ", \"zone_check\": " + zone_json(row.zone);
    out += ", \"fields\": " + fields_json(layout, row.record);
    out += ", \"questions\": " + questions_json(row.questions) + "}";
  }
  out += "], \"file\": " + file_json(e.file) + "}\n";
  return out;
}

std::string to_text(const Explanation& e, const records::Layout& layout) {
  std::string out;
  line(out, "Badge " + e.badge + " at terminal " + e.terminal + ", " + e.keyword + ":");
  if (e.excluded_by) {
    line(out, "  not selected by the badge cursor: " + *e.excluded_by + " (" +
                  reason_text(*e.excluded_by) + ")");
  } else {
    line(out, "  selected by the badge cursor in " + std::to_string(e.rows.size()) + " row(s)");
  }
  if (!e.setup_questions.empty()) {
    line(out, "Questions the run asks once per client:");
    questions_text(out, e.setup_questions);
  }
  for (std::size_t i = 0; i < e.rows.size(); ++i) row_text(out, layout, e.rows[i], i + 1);
  if (e.file) {
    line(out, "File " + e.file->path + ":");
    if (e.file->error) {
      line(out, "  cannot be compared: " + *e.file->error);
    } else {
      line(out, "  " + std::to_string(e.file->records.size()) + " record(s) of the badge");
      for (const std::string& record : e.file->records) line(out, "    \"" + shown(record) + "\"");
      std::string differs;
      for (const std::string& name : e.file->differs_in) differs += " " + name;
      line(out, e.file->same ? "  the same as would be built now"
                             : "  differs from what would be built now in:" + differs);
    }
  }
  return out;
}

}  // namespace varnoklis::explain
