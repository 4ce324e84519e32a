#include <array>
#include <string_view>
#include <vector>

#include "builders/builder.h"
#include "records/layouts.h"

namespace varnoklis {

namespace {

// Each builder beside the keyword of the layout it writes.
struct KeywordBuilder {
  std::string_view keyword;
  BuildFunction build;
};

constexpr std::array<KeywordBuilder, 5> kBuildFunctions = {{
    {"QZDNL17P", build_qzdnl17p},
    {"QZDNL18P", build_qzdnl18p},
    {"QZDNL31P", build_qzdnl31p},
    {"QZDNL60P", build_qzdnl60p},
    {"IDSTAMM", build_idstamm},
}};

// A keyword without a layout has no builder.
std::vector<Builder> make_builders() {
  std::vector<Builder> builders;
  for (const KeywordBuilder& function : kBuildFunctions) {
    const records::Layout* layout = records::find_layout(function.keyword);
    if (layout == nullptr) continue;
    builders.push_back({layout->keyword, layout->record_length, layout->line_end, function.build});
  }
  return builders;
}

}  // namespace

const Builder* find_builder(std::string_view keyword) {
  static const std::vector<Builder> kBuilders = make_builders();
  for (const Builder& builder : kBuilders) {
    if (builder.keyword == keyword) return &builder;
  }
  return nullptr;
}

}  // namespace varnoklis
