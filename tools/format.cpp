// SPDX-License-Identifier: ISC
#include "format.h"

#include "format_parts.h"

std::string Format::file_start(size_t, const StreamInfo&) const
{
  return {};
}

void Format::row(std::string&,
                 const StreamInfo&,
                 double,
                 const std::vector<MeterReadings>&,
                 const RowLoudness*) const
{}

std::string Format::file_error(size_t,
                               const std::string&,
                               const std::string&) const
{
  return {};
}

std::unique_ptr<Format> make_format(const FormatSettings& settings)
{
  if (settings.json) return make_json_format(settings);
  if (settings.csv) return make_csv_format(settings);
  return make_text_format(settings);
}
