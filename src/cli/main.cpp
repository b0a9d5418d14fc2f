// folioknife-split: the window's split from a terminal, over the same core.
#include <CLI/CLI.hpp>

#include <clocale>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliEpub.h"
#include "cli/CliSplit.h"
#include "folioknife/Version.h"
#include "splitter/CodePage.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    using folioknife::cli::CliOptions;
    CliOptions options;

    CLI::App app{"Splits a plain-text novel into files of N chapters at its chapter headings.",
                 "folioknife-split"};
    auto* prefix = app.add_option("-p,--prefix", options.prefix, "heading prefix (default 第)");
    auto* suffix = app.add_option("-s,--suffix", options.suffix, "heading suffix (default 章)");
    auto* expression =
        app.add_option("-e,--expression", options.expression,
                       "custom chapter expression (Perl syntax); selects custom mode");
    app.add_option("-n,--per-file", options.perFile, "chapters per file (default 10)");
    auto* output = app.add_option("-o,--output", options.outputDirectory,
                                  "output folder (default: the folder that holds FILE)");
    app.add_flag("--delete-source", options.deleteSource,
                 "delete FILE after a complete split, only when the files hold all of it");
    app.add_option("--codepage", options.codePage,
                   "code page of the novel's headings: GBK, GB18030, UTF-8, ... (default: the "
                   "locale's)");
    auto* list = app.add_flag(
        "--list", options.list,
        "write nothing; print each heading: number, byte offset, its line; on stderr, how "
        "many matches were left out as no headings");
    app.add_flag("--anywhere", options.anywhere,
                 "every match of the expression is a heading, wherever it stands: also inside "
                 "a sentence or in a table of contents");
    CLI::Option* epub = nullptr;
    if (folioknife::cli::epubAvailable()) {
        epub = app.add_option("--epub", options.epubPath,
                              "write an EPUB of the novel instead of files of chapters, its "
                              "chapters and volumes as the table of contents (default: the "
                              "novel's name with .epub, beside it or in --output)")
                   ->expected(0, 1)
                   ->type_name("[FILE.epub]")
                   ->excludes(list);
        app.add_option("--title", options.title,
                       "the EPUB's title (default: a 《书名》 line near the start, else the file "
                       "name)");
        app.add_option("--author", options.author,
                       "the EPUB's author (default: a 作者： line near the start)");
        app.add_option("--lang", options.language, "the EPUB's language (default zh)");
    } else {
        app.footer(
            "EPUB output (--epub) is not part of the Windows build: it has no zip "
            "library; the Linux build writes EPUBs.");
    }
    // Not required here: "--epub novel.txt" hands the novel to --epub, and it is taken back
    // below.
    auto* file = app.add_option("FILE", options.file, "the novel, a plain-text file");
    app.set_version_flag("--version", FOLIOKNIFE_VERSION);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return folioknife::cli::kExitUsage;
    }
    if (epub && epub->count() > 0) {
        options.epub = true;
        if (!options.epubPath.empty() && !folioknife::cli::isEpubName(options.epubPath)) {
            if (file->count() > 0) {
                std::cerr
                    << "--epub: " << options.epubPath
                    << " is no EPUB name (FILE.epub)\nRun with --help for more information.\n";
                return folioknife::cli::kExitUsage;
            }
            options.file = options.epubPath;
            options.epubPath.clear();
        }
    }
    if (options.file.empty() && file->count() == 0) {
        std::cerr << "FILE is required\nRun with --help for more information.\n";
        return folioknife::cli::kExitUsage;
    }
    options.customMode = expression->count() > 0;
    options.prefixGiven = prefix->count() > 0;
    options.suffixGiven = suffix->count() > 0;
    options.outputGiven = output->count() > 0;
    return folioknife::cli::runCli(options, std::cout, std::cerr);
}
