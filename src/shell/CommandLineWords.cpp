#include "shell/CommandLineWords.h"

namespace folioknife::shell {

std::vector<Text> splitIntoWords(const Text& commandLine) {
    std::vector<Text> words;
    Text word;
    bool inWord = false;
    bool quoted = false;
    for (char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

}  // namespace folioknife::shell
