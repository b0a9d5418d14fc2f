// folioknife-split: the window's split from a terminal, over the same core.
#include <CLI/CLI.hpp>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/Catalogue.h"
#include "cli/CliEpub.h"
#include "cli/CliSplit.h"
#include "folioknife/Version.h"
#include "splitter/CodePage.h"

namespace {

using folioknife::cli::tr;
using folioknife::cli::trf;

// What CLI11 found wrong, in the run's language: its own texts are English only, so each kind
// of error is said again with the names it carries.
std::string usageError(const CLI::ParseError& e) {
    const std::string what = e.what();
    const auto after = [&](const std::string& mark) {
        const std::size_t at = what.find(mark);
        return at == std::string::npos ? what : what.substr(at + mark.size());
    };
    const auto before = [&](const std::string& mark) { return what.substr(0, what.find(mark)); };
    if (dynamic_cast<const CLI::RequiredError*>(&e)) {
        return trf("{1} is missing: give one or more novels, or folders of novels",
                   {before(" is required")});
    }
    if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
        return trf("unknown option or argument: {1}", {after(": ")});
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
        return trf("{1} needs a value", {before(":")});
    }
    if (dynamic_cast<const CLI::ConversionError*>(&e)) {
        return trf("a value that cannot be used: {1}", {what});
    }
    return trf("bad usage: {1}", {what});
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    // A file-size limit makes write() fail with EFBIG, reported like a full disk, instead of
    // killing the process with its temporary files left. A closed standard output (a pipe
    // into "true") fails its writes instead of ending the process before its notes.
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    folioknife::cli::openCatalogue();
    const std::string terminal = folioknife::splitter::systemCodePage();
    // Every text below is handed to CLI11 as the terminal shows it.
    const auto say = [&](const std::string& utf8) {
        return folioknife::splitter::convertForDisplay(utf8, "UTF-8", terminal);
    };
    using folioknife::cli::CliOptions;
    CliOptions options;

    CLI::App app{say(tr("Splits plain-text novels into files of N chapters at their chapter "
                        "headings.")),
                 "folioknife-split"};
    auto formatter = std::make_shared<CLI::Formatter>();
    formatter->label("Usage", say(tr("Usage")));
    formatter->label("OPTIONS", say(tr("OPTIONS")));
    formatter->label("Positionals", say(tr("Positionals")));
    formatter->label("REQUIRED", say(tr("REQUIRED")));
    formatter->label("TEXT", say(tr("TEXT")));
    formatter->label("SIZE", say(tr("SIZE")));
    formatter->label("ENCODING", say(tr("ENCODING")));
    formatter->label("PATTERN", say(tr("PATTERN")));
    formatter->column_width(26);
    app.formatter(formatter);
    app.option_defaults()->group(say(tr("Options")));
    app.set_help_flag("-h,--help", say(tr("print this help and exit")));
    app.set_version_flag("--version", FOLIOKNIFE_VERSION, say(tr("print the version and exit")));

    auto* prefix = app.add_option("-p,--prefix", options.prefix,
                                  say(trf("heading prefix (default {1})", {"第"})));
    auto* suffix = app.add_option("-s,--suffix", options.suffix,
                                  say(trf("heading suffix (default {1})", {"章"})));
    auto* expression =
        app.add_option("-e,--expression", options.expression,
                       say(tr("custom chapter expression (Perl syntax); selects custom mode")));
    app.add_option("-n,--per-file", options.perFile, say(tr("chapters per file (default 10)")));
    auto* output = app.add_option(
        "-o,--output", options.outputDirectory,
        say(tr("output folder (default: the folder that holds FILE; with several novels, a "
               "folder named after each novel beside it, or inside this one)")));
    app.add_flag("-r,--recursive", options.recursive,
                 say(tr("with a folder: the novels in its subfolders too")));
    app.add_option("--name", options.name,
                   say(tr("the files' names: {name} the novel's name without .txt, {k} the "
                          "number, {k0} the number with leading zeros, {title} the first heading "
                          "in the file (default novel_{k}.txt)")))
        ->type_name("PATTERN");
    app.add_option("--max-size", options.maxSize,
                   say(tr("at most SIZE bytes a file (500K, 2M): a file ends before the chapter "
                          "that would pass it, a longer chapter is cut at line ends")))
        ->type_name("SIZE");
    app.add_option("--to", options.to,
                   say(tr("write the files in utf-8, gbk or utf-16le (each utf-16le file with its "
                          "byte-order mark); the novel is deleted only when they convert back to "
                          "its bytes")))
        ->type_name("ENCODING");
    app.add_flag("--delete-source", options.deleteSource,
                 say(tr("delete FILE after a complete split, only when the files hold all of it")));
    app.add_flag("--replace", options.replace,
                 say(tr("replace the volumes of another novel found in the output folder "
                        "(without it the split stops and writes nothing)")));
    app.add_option("--codepage", options.codePage,
                   say(tr("code page of the novel's headings: GBK, GB18030, UTF-8, ... (default: "
                          "the locale's)")));
    app.add_flag("--list", options.list,
                 say(tr("write nothing; print each heading: number, byte offset, the file it goes "
                        "into, its line; on stderr, how many matches were left out as no "
                        "headings")));
    app.add_flag("--json", options.json,
                 say(tr("with --list: print one JSON document (encoding, headings, volumes, "
                        "notes); for several novels, an array of them")));
    app.add_flag("-q,--quiet", options.quiet,
                 say(tr("no progress on standard error (shown on a terminal when a novel takes "
                        "longer than a second)")));
    app.add_flag("--anywhere", options.anywhere,
                 say(tr("every match of the expression is a heading, wherever it stands: also "
                        "inside a sentence or in a table of contents")));
    CLI::Option* epub = nullptr;
    if (folioknife::cli::epubAvailable()) {
        epub = app.add_option("--epub", options.epubPath,
                              say(tr("write an EPUB of each novel instead of files of chapters, "
                                     "its chapters and volumes as the table of contents "
                                     "(default: the novel's name with .epub, beside it or in "
                                     "the -o folder)")))
                   ->expected(0, 1)
                   ->type_name("[FILE.epub]");
        app.add_option("--title", options.title,
                       say(trf("the EPUB's title (default: the title of a line that begins "
                               "with it in {1} near the start, else the file name)",
                               {"《》"})));
        app.add_option("--author", options.author,
                       say(tr("the EPUB's author (default: the name on an author line near the "
                              "start)")));
        app.add_option("--lang", options.language, say(tr("the EPUB's language (default zh)")));
    }
    // Not required here: "--epub novel.txt" hands the novel to --epub, and it is taken back
    // below.
    auto* files =
        app.add_option("FILE", options.files,
                       say(tr("novels (plain-text files), or folders: every .txt file in them")));
    files->type_name("");
    app.footer(
        say(tr(
            "Several novels, or a folder: each novel is split into a folder of its own named after "
            "it "
            "(novel.txt into novel/), beside it or inside the -o folder, and reported on a line of "
            "its own; one that fails does not stop the others.\n"
            "\n"
            "Examples:\n"
            "  folioknife-split --codepage GBK -n 20 -o out novel.txt\n"
            "  folioknife-split -r downloads\n"
            "  folioknife-split --list --json novel.txt\n"
            "  folioknife-split -e '^Chapter [0-9]+' --delete-source novel.txt\n"
            "\n"
            "Exit status:\n"
            "  0   done (with --list: the headings are listed)\n"
            "  1   a check refused a split: no text, an empty, invalid or too complex expression, "
            "a "
            "chapter count below 1, an empty output folder, two novels of one name into one "
            "folder\n"
            "  2   a novel could not be opened or is not a regular file, a folder holds no .txt "
            "file, "
            "an output file could not be written, or another split kept the output folder busy; "
            "the "
            "novel is never deleted then\n"
            "  64  bad usage: an unknown option, no FILE, an unknown code page or one that writes "
            "ASCII otherwise\n"
            "With several novels the status is the highest of theirs.")) +
        (folioknife::cli::epubAvailable()
             ? std::string()
             : "\n\n" + say(tr("EPUB output (--epub) is not part of the Windows build: it "
                               "has no zip library; the Linux build writes EPUBs."))));

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "folioknife-split: " << say(usageError(e)) << "\n"
                  << say(tr("Run with --help for the options.")) << "\n";
        return folioknife::cli::kExitUsage;
    }
    if (epub && epub->count() > 0) {
        options.epub = true;
        if (options.list || options.json) {
            std::cerr << "folioknife-split: "
                      << say(tr("--epub writes an EPUB and --list writes nothing: give one of "
                                "them"))
                      << "\n";
            return folioknife::cli::kExitUsage;
        }
        if (!options.to.empty() || !options.name.empty() || !options.maxSize.empty()) {
            std::cerr << "folioknife-split: "
                      << say(tr("--to, --name and --max-size shape files of chapters; an EPUB "
                                "is always UTF-8, one document a chapter"))
                      << "\n";
            return folioknife::cli::kExitUsage;
        }
        if (!options.epubPath.empty() && !folioknife::cli::isEpubName(options.epubPath)) {
            options.files.insert(options.files.begin(), options.epubPath);
            options.epubPath.clear();
        }
        if (!options.epubPath.empty() && options.files.size() > 1) {
            std::cerr << "folioknife-split: "
                      << say(tr("--epub names one EPUB: give one novel with it, or several "
                                "without a name"))
                      << "\n";
            return folioknife::cli::kExitUsage;
        }
    }
    if (options.files.empty()) {
        std::cerr << "folioknife-split: "
                  << say(trf("{1} is missing: give one or more novels, or folders of novels",
                             {"FILE"}))
                  << "\n"
                  << say(tr("Run with --help for the options.")) << "\n";
        return folioknife::cli::kExitUsage;
    }
    options.customMode = expression->count() > 0;
    options.prefixGiven = prefix->count() > 0;
    options.suffixGiven = suffix->count() > 0;
    options.outputGiven = output->count() > 0;
    options.progress = folioknife::cli::errorIsTerminal();
    options.list = options.list || options.json;
    return folioknife::cli::runCli(options, std::cout, std::cerr);
}
