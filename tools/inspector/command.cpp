#include "command.hpp"

#include <exception>
#include <new>
#include <utility>

#include "arguments.hpp"
#include "files.hpp"
#include "lkm/mapped_file.hpp"
#include "lkm/messages.hpp"
#include "report.hpp"
#include "restore_stock.hpp"

namespace lkm::inspector {

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

constexpr int refused = 2;

const char* kindName(FileError::Kind kind) {
    switch (kind) {
    case FileError::Kind::unreadable:
        return "unreadable";
    case FileError::Kind::notPe:
        return "not a PE file";
    case FileError::Kind::unsupported:
        return "unsupported";
    case FileError::Kind::truncated:
        return "truncated";
    case FileError::Kind::inconsistent:
        return "inconsistent";
    case FileError::Kind::relocations: // the plug-in's comparison only; the inspector maps no relocation
        return "relocations";
    }
    return "unreadable";
}

// "lkm-inspect: <about>: <message>" on standard error, or the fields as one JSON object.
Outcome refusal(const Options& options, const std::string& about, const std::string& message,
                const Fields& fields) {
    if (options.json) return {refused, renderJsonObject(fields), ""};
    return {refused, "", "lkm-inspect: " + (about.empty() ? "" : about + ": ") + message + "\n"};
}

// Writes the stock file --restore-stock made, never over the input or any file that exists.
void writeRestored(const Options& options, const Restoration& restored) {
    if (sameFile(options.path, restored.output))
        throw OutputError("is the executable being read; lkm-inspect never writes it");
    writeNewFile(restored.output, restored.stockFile);
}

// A refusal of the file being read, with the kind of reason.
Outcome fileRefused(const Options& options, const std::string& message, const char* kind) {
    return refusal(options, options.path, message,
                   {{"file", options.path}, {"error", message}, {"errorKind", kind}});
}

Outcome fileRefused(const Options& options, const FileError& error) {
    return fileRefused(options, error.what(), kindName(error.kind));
}

} // namespace

Outcome inspectionOutcome(const Options& options, const ByteSource& file, const KeepRestored& keep) {
    try {
        const Report report = inspectSource(file, options);
        if (report.restoration && !report.restoration->stockFile.empty()) {
            try {
                keep(*report.restoration);
            } catch (const OutputError& error) {
                return refusal(options, report.restoration->output, error.what(),
                               {{"file", options.path},
                                {"output", report.restoration->output},
                                {"error", error.what()},
                                {"errorKind", "output"}});
            }
        }
        return {report.supported ? 0 : 1, options.json ? renderJson(report) : renderText(report), ""};
    } catch (const FileError& error) {
        return fileRefused(options, error);
    } catch (const RestoreError& error) {
        return fileRefused(options, error.what(), "not restorable");
    } catch (const std::bad_alloc&) {
        return fileRefused(options, "not enough memory to inspect this file", "out of memory");
    } catch (const std::exception& error) {
        // A refusal of the plan in the plug-in's words; a library's text never reaches the output.
        if (lkm::isSystemMessage(error.what())) return fileRefused(options, error.what(), "unsupported");
        return fileRefused(options, "lkm-inspect failed inside; please report this file", "internal");
    }
}

Outcome usageRefused(const Options& options, const UsageError& error) {
    return refusal(options, "", std::string(error.what()) + "; lkm-inspect --help lists the options",
                   {{"error", error.what()}, {"errorKind", "usage"}, {"usage", usageText()}});
}

Outcome runCommand(const std::vector<std::string>& words) {
    Options options;
    try {
        parseArguments(words, options);
    } catch (const UsageError& error) {
        return usageRefused(options, error);
    }
    if (options.help) return {0, options.json ? renderJsonObject({{"usage", usageText()}}) : usageText(), ""};
    std::unique_ptr<ByteSource> file;
    try {
        file = openFile(options.path);
    } catch (const FileError& error) {
        return fileRefused(options, error);
    }
    return inspectionOutcome(options, *file,
                             [&](const Restoration& restored) { writeRestored(options, restored); });
}

} // namespace lkm::inspector
