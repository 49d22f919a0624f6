#include "arguments.h"

#include <map>

namespace tarvidon::cli {

void AddFile(CLI::App &command, std::string &file)
{
    command.add_option("FILE", file, "Data file")->required();
}

void AddFormat(CLI::App &command, Format &format)
{
    static const std::map<std::string, Format> kFormats = {
        {"table", Format::Table}, {"csv", Format::Csv}, {"json", Format::Json}};
    command.add_option("--format", format, "Output format: table (default), csv or json")
        ->transform(CLI::CheckedTransformer(kFormats));
}

CLI::Option_group *AddEntryChoice(CLI::App &command, EntryChoice &choice)
{
    CLI::Option_group *group = command.add_option_group("entry", "The entry, by exact model name or by index");
    group->add_option("--model", choice.model, "Exact model name; the first such entry in the file");
    group->add_option("--index", choice.index, "Catalogue index, 0 for the first entry in the file");
    return group;
}

} // namespace tarvidon::cli
