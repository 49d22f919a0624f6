// export --all: every entry, or every prefix match, into one folder.

#include "commands.h"
#include "file_system.h"
#include "output.h"
#include "platform.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <vector>

namespace tarvidon::cli {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::vector<MatchIndex> Selected(const Catalogue &catalogue, const BatchExportOptions &options)
{
    if (options.modelPrefix)
        return FindAllByModel(catalogue, TypedText(*options.modelPrefix));
    if (options.productPrefix)
        return FindAllByProductNumber(catalogue, TypedText(*options.productPrefix));
    std::vector<MatchIndex> all(static_cast<std::size_t>(catalogue.ModelCount()));
    std::iota(all.begin(), all.end(), MatchIndex{0});
    return all;
}

/// "done/total, N files/s" rewritten in place on a terminal, nothing elsewhere.
class Progress {
public:
    explicit Progress(std::size_t total) : total_(total), shown_(StderrIsTerminal()) {}

    void update(std::size_t done)
    {
        if (!shown_)
            return;
        const auto now = Clock::now();
        if (done != total_ && now - lastShown_ < std::chrono::milliseconds(100))
            return;
        lastShown_ = now;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        std::fprintf(stderr, "\r%zu/%zu files, %.0f files/s", done, total_, seconds > 0 ? done / seconds : 0.0);
        std::fflush(stderr);
    }

    void end()
    {
        if (shown_)
            std::fputc('\n', stderr);
    }

private:
    std::size_t total_;
    bool shown_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point lastShown_{};
};


// Every field of each entry written, and the name of its file.
void WriteManifest(const std::string &path, const EngineState &state, const std::vector<MatchIndex> &indices,
                   const std::vector<std::string> &names, std::size_t written)
{
    Output out; // a few lines a file: built whole, written at once
    std::vector<std::string_view> header;
    for (const EntryField &field : kEntryFields)
        header.push_back(field.name);
    header.push_back("file_name");
    WriteCsvRecord(out, header);
    for (std::size_t k = 0; k < written; ++k) {
        std::vector<std::string> fields;
        for (const EntryField &field : kEntryFields)
            fields.push_back(FieldText(field, {state, indices[k]}));
        fields.push_back(names[k]);
        WriteCsvRecord(out, std::vector<std::string_view>(fields.begin(), fields.end()));
    }
    const std::string &text = out.text();
    OnPath(path, [&] {
        WriteWholeFile(PathFromUtf8(path), {reinterpret_cast<const std::uint8_t *>(text.data()), text.size()});
    });
}

void RefuseExisting(const std::vector<fs::path> &paths)
{
    for (const fs::path &path : paths) {
        std::error_code ignored;
        if (fs::symlink_status(path, ignored).type() != fs::file_type::not_found && !ignored)
            throw Failure(Utf8FromPath(path), "File already exists, nothing written; --overwrite replaces it");
    }
}

// Every file whole or not at all, and all of them flushed to disk together:
// one flush of the file system costs what one file's does. On a failure the
// files before it stay, each whole, and written says how many there are.
void ExportAll(const EngineState &state, const std::vector<MatchIndex> &indices, const std::vector<fs::path> &targets,
               bool overwrite, Progress &progress, std::size_t &written)
{
    FileBatch batch(overwrite);
    std::size_t added = 0;
    try {
        for (; added < indices.size(); progress.update(++added))
            batch.add(targets[added], ExportFile(state, indices[added]));
        batch.commit();
        written = batch.written();
    } catch (const EngineError &e) {
        // The file being written, or else the first one the commit left out.
        const fs::path &failed = targets[added < indices.size() ? added : batch.written()];
        if (added < indices.size()) {
            try {
                batch.commit();
            } catch (const EngineError &) {
                // the first error is the one to report
            }
        }
        written = batch.written();
        if (dynamic_cast<const FileExistsError *>(&e) != nullptr)
            throw Failure(Utf8FromPath(failed), "File already exists, not written; --overwrite replaces it");
        throw Failure(Utf8FromPath(failed), e.what());
    }
}

} // namespace

int RunBatchExport(const BatchExportOptions &options)
{
    const EngineState state = LoadCatalogue(options.file);
    const Catalogue &catalogue = state.Catalogue;
    const std::vector<MatchIndex> indices = Selected(catalogue, options);

    const std::vector<std::string> names = BatchFileNames(catalogue, indices);

    const fs::path dir = PathFromUtf8(options.dir);
    OnPath(options.dir, [&] { CreateFolders(dir); });
    std::vector<fs::path> targets;
    targets.reserve(names.size() + 1);
    for (const std::string &name : names)
        targets.push_back(dir / PathFromUtf8(name));
    if (!options.overwrite) {
        if (options.manifest)
            targets.push_back(PathFromUtf8(*options.manifest));
        RefuseExisting(targets);
        if (options.manifest)
            targets.pop_back();
    }

    Progress progress(indices.size());
    std::size_t written = 0;
    const auto summary = [&] {
        return options.dir + ": " + Decimal(static_cast<std::int64_t>(written)) + " of "
            + Decimal(static_cast<std::int64_t>(indices.size())) + " files written.";
    };
    try {
        ExportAll(state, indices, targets, options.overwrite, progress, written);
    } catch (const Failure &e) {
        progress.end();
        try {
            if (options.manifest)
                WriteManifest(*options.manifest, state, indices, names, written);
        } catch (const Failure &) {
            // the first error is the one to report
        }
        throw Failure(e.path(), e.what(), summary());
    }
    progress.end();
    if (options.manifest)
        WriteManifest(*options.manifest, state, indices, names, written);
    PrintMessage(summary());
    return kExitMatch;
}

} // namespace tarvidon::cli
