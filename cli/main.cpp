// tarvidon-cli: the catalogue engine from the command line.

#include "commands.h"
#include "platform.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <new>

namespace {

using namespace tarvidon;
using namespace tarvidon::cli;

const std::map<std::string, Format> kFormats = {
    {"table", Format::Table}, {"csv", Format::Csv}, {"json", Format::Json}};

void AddFile(CLI::App &command, std::string &file)
{
    command.add_option("FILE", file, "Data file")->required();
}

void AddFormat(CLI::App &command, Format &format)
{
    command.add_option("--format", format, "Output format: table (default), csv or json")
        ->transform(CLI::CheckedTransformer(kFormats));
}

// Exactly one of --model NAME and --index I.
void AddEntryChoice(CLI::App &command, EntryChoice &choice, CLI::Option_group *&group)
{
    group = command.add_option_group("entry", "The entry, by exact model name or by index");
    group->add_option("--model", choice.model, "Exact model name; the first such entry in the file");
    group->add_option("--index", choice.index, "Catalogue index, 0 for the first entry in the file");
}

void ReportFailure(const std::string &path, const std::string &message)
{
    std::fprintf(stderr, "tarvidon-cli: %s: %s\n", path.c_str(), WithFullStop(message).c_str());
}

} // namespace

int tarvidon::cli::Main(int argc, char *argv[])
{
    CLI::App app("Lists, finds, shows and exports the records of a catalogue data file, identifies a dump "
                 "and compares two versions of a catalogue.", "tarvidon-cli");
    app.set_version_flag("--version", "tarvidon-cli " TARVIDON_VERSION);
    // On Windows CLI11 would read "/data/x.dat" as an option; paths come
    // first here, and every option is spelt with dashes. Subcommands copy it.
    app.allow_windows_style_options(false);
    app.require_subcommand(1);
    std::function<int()> run;
    const std::string *subject = nullptr; // the file a failure is about, unless it names its own

    ListOptions list;
    CLI::App *listCommand = app.add_subcommand("list", "Every catalogue entry in file order");
    AddFile(*listCommand, list.file);
    AddFormat(*listCommand, list.format);
    listCommand->callback([&] {
        subject = &list.file;
        run = [&] { return RunList(list); };
    });

    FindOptions find;
    CLI::App *findCommand =
        app.add_subcommand("find", "The last entry whose model name or product number starts with TEXT "
                                   "(Latin letters in any case); exit status 1 when none does");
    AddFile(*findCommand, find.file);
    CLI::Option_group *findBy = findCommand->add_option_group("lookup", "What TEXT starts");
    findBy->add_option("--model", find.model, "Start of a model name")->option_text("TEXT");
    findBy->add_option("--product", find.product, "Start of a product number")->option_text("TEXT");
    findBy->require_option(1);
    findCommand->add_flag("--all", find.all, "Every match in file order, not only the last");
    AddFormat(*findCommand, find.format);
    findCommand->callback([&] {
        subject = &find.file;
        run = [&] { return RunFind(find); };
    });

    ShowOptions show;
    CLI::App *showCommand = app.add_subcommand("show", "The 16 hex rows of an entry's firmware image");
    AddFile(*showCommand, show.file);
    CLI::Option_group *showWhich = nullptr;
    AddEntryChoice(*showCommand, show.entry, showWhich);
    showWhich->require_option(1);
    showCommand->callback([&] {
        subject = &show.file;
        run = [&] { return RunShow(show); };
    });

    ExportOptions exportOne;
    BatchExportOptions exportAll;
    bool all = false;
    CLI::App *exportCommand = app.add_subcommand(
        "export", "Write an entry's 512-byte export file, or with --all one for every (matching) entry into DIR");
    AddFile(*exportCommand, exportOne.file);
    CLI::Option_group *exportWhich = nullptr;
    AddEntryChoice(*exportCommand, exportOne.entry, exportWhich);
    CLI::Option *allFlag = exportWhich->add_flag("--all", all, "Every entry, or every prefix match, into --dir");
    exportWhich->require_option(1);
    exportCommand->add_option("-o,--output", exportOne.output, "Output file; default PRODUCT_MODEL.BIN here")
        ->excludes(allFlag);
    CLI::Option *dir = exportCommand->add_option("--dir", exportAll.dir, "Folder for --all, created if missing")
                           ->needs(allFlag);
    allFlag->needs(dir);
    CLI::Option_group *prefix = exportCommand->add_option_group("prefix", "With --all: only entries starting with");
    prefix->add_option("--model-prefix", exportAll.modelPrefix, "Start of the model names")
        ->option_text("TEXT")
        ->needs(allFlag);
    prefix->add_option("--product-prefix", exportAll.productPrefix, "Start of the product numbers")
        ->option_text("TEXT")
        ->needs(allFlag);
    prefix->require_option(0, 1);
    exportCommand->add_option("--manifest", exportAll.manifest, "With --all: CSV of the files written")
        ->needs(allFlag);
    exportCommand->add_flag("--overwrite", exportAll.overwrite, "With --all: replace files that exist")
        ->needs(allFlag);
    exportCommand->callback([&] {
        subject = &exportOne.file;
        run = [&] {
            if (!all)
                return RunExport(exportOne);
            exportAll.file = exportOne.file;
            return RunBatchExport(exportAll);
        };
    });

    IdentifyOptions identify;
    CLI::App *identifyCommand = app.add_subcommand(
        "identify", "The entries whose firmware image a dump holds (a bare 256-byte image, or a 512-byte export "
                    "file whose last 256 bytes are the image); exit status 1 when none holds it exactly");
    AddFile(*identifyCommand, identify.file);
    identifyCommand->add_option("DUMP", identify.dump, "Dump read back from a device")->required();
    identifyCommand
        ->add_option("--nearest", identify.nearest,
                     "The N entries whose images differ from the dump in the fewest bytes, fewest first")
        ->option_text("N")
        ->check(CLI::Range(std::int64_t{1}, std::numeric_limits<std::int64_t>::max()));
    AddFormat(*identifyCommand, identify.format);
    identifyCommand->callback([&] {
        subject = &identify.file;
        run = [&] { return RunIdentify(identify); };
    });

    DiffOptions diff;
    CLI::App *diffCommand = app.add_subcommand(
        "diff", "What changed from OLD to NEW: records paired by model name and occurrence are added, removed or "
                "changed (another image); exit status 1 when anything differs");
    diffCommand->add_option("OLD", diff.oldFile, "Data file, the older version")->required();
    diffCommand->add_option("NEW", diff.newFile, "Data file, the newer version")->required();
    AddFormat(*diffCommand, diff.format);
    diffCommand->callback([&] {
        subject = &diff.oldFile;
        run = [&] { return RunDiff(diff); };
    });

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        if (e.get_exit_code() == 0)
            return app.exit(e); // --help and --version, on stdout
        std::fprintf(stderr, "tarvidon-cli: %s\nRun with --help for more information.\n",
                     WithFullStop(e.what()).c_str());
        return kExitError;
    }

    try {
        return run();
    } catch (const Failure &e) {
        ReportFailure(e.path(), e.what());
        if (!e.note().empty())
            std::fprintf(stderr, "tarvidon-cli: %s\n", e.note().c_str());
    } catch (const std::bad_alloc &) {
        ReportFailure(*subject, OutOfMemoryError().what());
    } catch (const std::exception &e) {
        ReportFailure(*subject, e.what()); // what the system said, never an abort
    }
    return kExitError;
}
