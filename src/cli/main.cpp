// folioknife-split: the window's split from a terminal, over the same core.
#include <CLI/CLI.hpp>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliSplit.h"
#include "folioknife/Version.h"
#include "splitter/CodePage.h"

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
    app.add_flag("--replace", options.replace,
                 "replace the volumes of another novel found in the output folder (without it "
                 "the split stops and writes nothing)");
    app.add_option("--codepage", options.codePage,
                   "code page of the novel's headings: GBK, GB18030, UTF-8, ... (default: the "
                   "locale's)");
    app.add_flag("--list", options.list,
                 "write nothing; print each heading: number, byte offset, its line; on stderr, how "
                 "many matches were left out as no headings");
    app.add_flag("--anywhere", options.anywhere,
                 "every match of the expression is a heading, wherever it stands: also inside "
                 "a sentence or in a table of contents");
    app.add_option("FILE", options.file, "the novel, a plain-text file")->required();
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
    options.customMode = expression->count() > 0;
    options.prefixGiven = prefix->count() > 0;
    options.suffixGiven = suffix->count() > 0;
    options.outputGiven = output->count() > 0;
    return folioknife::cli::runCli(options, std::cout, std::cerr);
}
