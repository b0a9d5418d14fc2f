// folioknife-split: the window's split from a terminal, over the same core.
#include <CLI/CLI.hpp>

#include <clocale>
#include <csignal>
#include <functional>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/Catalogue.h"
#include "cli/CliEpub.h"
#include "cli/CliSplit.h"
#include "folioknife/Version.h"
#include "splitter/HeadingWords.h"
#include "splitter/Unicode.h"
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

using folioknife::cli::CliOptions;

// The columns of the help as the terminal shows them: a CJK character of UTF-8 takes three bytes
// and two columns, so CLI11's padding by bytes would leave the Chinese descriptions off by one
// column per character. In a double-byte code page bytes and columns agree.
class ColumnFormatter : public CLI::Formatter {
public:
    explicit ColumnFormatter(bool utf8) : utf8_(utf8) {}
    std::string make_option(const CLI::Option* option, bool positional) const override {
        std::string out = "  " + make_option_name(option, positional) + make_option_opts(option);
        const std::string description = make_option_desc(option);
        if (!description.empty()) {
            const std::size_t shown = width(out);
            const std::size_t column = get_column_width();
            const std::string indent(column, ' ');
            out += shown >= column ? "\n" + indent : std::string(column - shown, ' ');
            for (const char c : description) {
                out += c;
                if (c == '\n') out += indent;
            }
        }
        return out + "\n";
    }

private:
    std::size_t width(const std::string& text) const {
        if (!utf8_) return text.size();
        std::size_t columns = 0;
        for (std::size_t i = 0; i < text.size();) {
            std::size_t n = 0;
            const char32_t c = folioknife::splitter::decodeUtf8At(text, i, n);
            // East Asian wide and full-width characters: Hangul Jamo, CJK and its punctuation,
            // Hangul syllables, compatibility ideographs, full-width forms, the planes above.
            const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                              (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                              (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                              (c >= 0xFFE0 && c <= 0xFFE6) || c >= 0x20000;
            columns += wide ? 2 : 1;
            i += n;
        }
        return columns;
    }
    bool utf8_;
};

// Every text handed to CLI11, as the terminal shows it.
using Say = std::function<std::string(const std::string&)>;

// One option: its names, where its value goes (a text or a mark), its help and the name of its
// value in the help.
struct OptionEntry {
    const char* names;
    std::string CliOptions::*text;
    bool CliOptions::*flag;
    std::string help;
    const char* typeName;
};

// What the headings are and where the files go.
std::vector<OptionEntry> headingAndPlaceOptions() {
    using O = CliOptions;
    return {
        {"-p,--prefix", &O::prefix, nullptr,
         trf("heading prefix (default {1})", {folioknife::splitter::headingWords::kPrefix}),
         "TEXT"},
        {"-s,--suffix", &O::suffix, nullptr,
         trf("heading suffix (default {1})", {folioknife::splitter::headingWords::kSuffix}),
         "TEXT"},
        {"-e,--expression", &O::expression, nullptr,
         tr("custom chapter expression (Perl syntax, or Java's as reader apps write it); selects "
            "custom mode"),
         "EXPRESSION"},
        {"-n,--per-file", &O::perFile, nullptr,
         tr("chapters per file (default 10); the text before the first heading counts as one "
            "of the first file's N"),
         "N"},
        {"-o,--output", &O::outputDirectory, nullptr,
         tr("output folder (default: the folder that holds FILE; with several novels, a "
            "folder named after each novel beside it, or inside this one)"),
         "FOLDER"},
        {"-r,--recursive", nullptr, &O::recursive,
         tr("with a folder: the novels in its subfolders too"), nullptr},
        {"--name", &O::name, nullptr,
         tr("the files' names: {name} the novel's name without .txt, {k} the "
            "number, {k0} the number with leading zeros, {title} the first heading "
            "in the file (default novel_{k}.txt)"),
         "PATTERN"},
    };
}

// How the files are written, and what the run does besides.
std::vector<OptionEntry> writingOptions() {
    using O = CliOptions;
    return {
        {"--max-size", &O::maxSize, nullptr,
         tr("at most SIZE bytes a file (500K, 0.5M, 2M): a file ends before the chapter "
            "that would pass it, a longer chapter is cut at line ends; without -n, files are "
            "closed by their size only"),
         "SIZE"},
        {"--to", &O::to, nullptr,
         tr("write the files in utf-8, gbk or utf-16le (each utf-16le file with its "
            "byte-order mark); the novel is deleted only when they convert back to "
            "its bytes"),
         "ENCODING"},
        {"--delete-source", nullptr, &O::deleteSource,
         tr("delete FILE after a complete split, only when the files hold all of it"), nullptr},
        {"--replace", nullptr, &O::replace,
         tr("replace the volumes of another novel found in the output folder "
            "(without it the split stops and writes nothing)"),
         nullptr},
        {"--force", nullptr, &O::force,
         tr("write a split of more than 1000 files (without it the split stops and writes "
            "nothing)"),
         nullptr},
        {"--codepage", &O::codePage, nullptr,
         tr("code page of the novel's headings: GBK, GB18030, UTF-8, ... (default: "
            "the locale's)"),
         "CODEPAGE"},
        {"--list", nullptr, &O::list,
         tr("write nothing; print each heading: number, byte offset, the file it goes "
            "into, its line; on stderr, how many matches were left out as no "
            "headings"),
         nullptr},
        {"--json", nullptr, &O::json,
         tr("with --list: print one JSON document (encoding, headings, volumes, "
            "notes; the form the headings were found in when the suffix found too few); for "
            "several novels, an array of them"),
         nullptr},
        {"-q,--quiet", nullptr, &O::quiet,
         tr("no progress on standard error (shown on a terminal when a novel takes "
            "longer than a second)"),
         nullptr},
        {"--anywhere", nullptr, &O::anywhere,
         tr("every match of the expression is a heading, wherever it stands: also "
            "inside a sentence or in a table of contents"),
         nullptr},
    };
}

std::vector<OptionEntry> optionTable() {
    std::vector<OptionEntry> table = headingAndPlaceOptions();
    for (OptionEntry& entry : writingOptions()) table.push_back(std::move(entry));
    return table;
}

// The options of the EPUB, in a build that writes EPUBs.
std::vector<OptionEntry> epubOptionTable() {
    using O = CliOptions;
    return {
        {"--epub", &O::epubPath, nullptr,
         tr("write an EPUB of each novel instead of files of chapters, "
            "its chapters and volumes as the table of contents "
            "(default: the novel's name with .epub, beside it or in "
            "the -o folder)"),
         "[FILE.epub]"},
        {"--title", &O::title, nullptr,
         trf("the EPUB's title (default: from a line near the start that holds it in {1} or "
             "begins with {2}, else from the file name; release tags such as {3} or {4} and "
             "words such as {5} left out)",
             {"《》", "书名：", "【全本精校】", "(1-8部+番外)", "txt, 全本, 完结"}),
         "TEXT"},
        {"--author", &O::author, nullptr,
         trf("the EPUB's author (default: from a line near the start that holds {1} or {2} "
             "before the name or ends in {3} after it, else from {1} in the file name)",
             {"作者：", "作者:", "著"}),
         "NAME"},
        {"--lang", &O::language, nullptr,
         tr("the EPUB's language, a tag such as zh, zh-TW or en-US (default: zh when most of "
            "the novel's letters are Chinese, else en); the labels the EPUB makes, such as its "
            "front matter's, are in it"),
         "LANGUAGE"},
        {"--cover", &O::cover, nullptr,
         tr("a JPEG or PNG picture as the EPUB's cover (default: a cover page made of the "
            "title and author, without a picture)"),
         "IMAGE"},
    };
}

void addOptions(CLI::App& app, CliOptions& options, const std::vector<OptionEntry>& table,
                const Say& say) {
    for (const OptionEntry& e : table) {
        CLI::Option* option = e.flag ? app.add_flag(e.names, options.*e.flag, say(e.help))
                                     : app.add_option(e.names, options.*e.text, say(e.help));
        if (e.typeName) option->type_name(e.typeName);
    }
}

std::string footer(const Say& say) {
    return say(
        tr("Several novels, or a folder: each novel is split into a folder of its own named "
           "after "
           "it "
           "(novel.txt into novel/), beside it or inside the -o folder, and reported on a "
           "line of "
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
           "  1   a check refused a split: no text, an empty, invalid or too complex "
           "expression, "
           "a "
           "chapter count below 1, an empty output folder, two novels of one name into one "
           "folder\n"
           "  2   a novel could not be opened or is not a regular file, a folder holds no "
           ".txt "
           "file, "
           "an output file could not be written, or another split kept the output folder "
           "busy; "
           "the "
           "novel is never deleted then\n"
           "  3   nothing to split: no heading found; the novel went whole into one file "
           "and is kept\n"
           "  64  bad usage: an unknown option, no FILE, an unknown code page or one that "
           "writes "
           "ASCII otherwise, a split of more than 1000 files without --force\n"
           "With several novels the status is the highest of theirs."));
}

// The program's description, labels, help and version, options and footer.
void describe(CLI::App& app, CliOptions& options, const Say& say) {
    auto formatter = std::make_shared<ColumnFormatter>(
        folioknife::splitter::sameCodePage(folioknife::splitter::systemCodePage(), "UTF-8"));
    // Each label and its text, written out so that the catalogue's extraction finds them.
    const std::pair<const char*, std::string> labels[] = {{"Usage", tr("Usage")},
                                                          {"OPTIONS", tr("OPTIONS")},
                                                          {"Positionals", tr("Positionals")},
                                                          {"REQUIRED", tr("REQUIRED")},
                                                          {"TEXT", tr("TEXT")},
                                                          {"SIZE", tr("SIZE")},
                                                          {"ENCODING", tr("ENCODING")},
                                                          {"PATTERN", tr("PATTERN")},
                                                          {"N", tr("N")},
                                                          {"FOLDER", tr("FOLDER")},
                                                          {"EXPRESSION", tr("EXPRESSION")},
                                                          {"CODEPAGE", tr("CODEPAGE")},
                                                          {"NAME", tr("NAME")},
                                                          {"LANGUAGE", tr("LANGUAGE")}};
    for (const auto& [label, text] : labels) formatter->label(label, say(text));
    formatter->column_width(26);
    app.formatter(formatter);
    app.option_defaults()->group(say(tr("Options")));
    app.set_help_flag("-h,--help", say(tr("print this help and exit")));
    app.set_version_flag("--version", "folioknife-split " FOLIOKNIFE_VERSION,
                         say(tr("print the version and exit")));
    addOptions(app, options, optionTable(), say);
    addOptions(app, options, epubOptionTable(), say);
    app.get_option("--epub")->expected(0, 1);
    // Not required here: "--epub novel.txt" hands the novel to --epub, and it is taken back
    // below.
    app.add_option("FILE", options.files,
                   say(tr("novels (plain-text files), or folders: every .txt file in them")))
        ->type_name("");
    app.footer(footer(say));
}

// What --epub was given with; false, the reason said, when that is no use.
bool takeEpubOptions(CliOptions& options, const Say& say) {
    const auto refuse = [&](const std::string& why) {
        std::cerr << "folioknife-split: " << say(why) << "\n";
        return false;
    };
    options.epub = true;
    if (options.list || options.json)
        return refuse(tr("--epub writes an EPUB and --list writes nothing: give one of them"));
    if (!options.to.empty() || !options.name.empty() || !options.maxSize.empty()) {
        return refuse(
            tr("--to, --name and --max-size shape files of chapters; an EPUB is always UTF-8, "
               "one document a chapter"));
    }
    if (!options.epubPath.empty() && !folioknife::cli::isEpubName(options.epubPath)) {
        options.files.insert(options.files.begin(), options.epubPath);
        options.epubPath.clear();
    }
    if (!options.epubPath.empty() && options.files.size() > 1) {
        return refuse(
            tr("--epub names one EPUB: give one novel with it, or several without a name"));
    }
    return true;
}

// Reads the command line into 'options'; the exit status when the run ends here (help,
// version, a usage error).
std::optional<int> parseCommandLine(CLI::App& app, CliOptions& options, const Say& say, int argc,
                                    char** argv) {
    // On Windows the arguments come from the UTF-16 command line, so a novel's name in any
    // script arrives whole whatever the system's code page.
    folioknife::cli::ProgramArguments given = folioknife::cli::programArguments(argc, argv);
    std::vector<char*> arguments;
    for (std::string& argument : given.arguments) arguments.push_back(&argument[0]);
    options.typedCodePage = given.codePage;
    try {
        app.parse(static_cast<int>(arguments.size()), arguments.data());
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
    if (const CLI::Option* epub = app.get_option_no_throw("--epub");
        epub && epub->count() > 0 && !takeEpubOptions(options, say))
        return folioknife::cli::kExitUsage;
    if (options.files.empty()) {
        std::cerr << "folioknife-split: "
                  << say(trf("{1} is missing: give one or more novels, or folders of novels",
                             {"FILE"}))
                  << "\n"
                  << say(tr("Run with --help for the options.")) << "\n";
        return folioknife::cli::kExitUsage;
    }
    return std::nullopt;
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
    const Say say = [&](const std::string& utf8) {
        return folioknife::splitter::convertForDisplay(utf8, "UTF-8", terminal);
    };
    CliOptions options;
    CLI::App app{say(tr("Splits plain-text novels into files of N chapters at their chapter "
                        "headings.")),
                 "folioknife-split"};
    describe(app, options, say);

    if (const std::optional<int> status = parseCommandLine(app, options, say, argc, argv))
        return *status;
    options.customMode = app.get_option("--expression")->count() > 0;
    options.prefixGiven = app.get_option("--prefix")->count() > 0;
    options.suffixGiven = app.get_option("--suffix")->count() > 0;
    options.outputGiven = app.get_option("--output")->count() > 0;
    options.perFileGiven = app.get_option("--per-file")->count() > 0;
    options.progress = folioknife::cli::errorIsTerminal();
    options.list = options.list || options.json;
    return folioknife::cli::runCli(options, std::cout, std::cerr);
}
