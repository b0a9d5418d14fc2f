#include "splitter/Messages.h"

namespace folioknife::splitter {

namespace {

// Every id's text, in the order of the ids: the static_assert below names a table that has
// left one out or put one out of place.
constexpr MessagePattern kChinesePatterns[] = {
    {MessageId::NoDocument, "请先设定TXT文件位置"},
    {MessageId::NoExpression, "请定义章节表达式（正则表达式）"},
    {MessageId::BadChaptersPerFile, "错误！您指定了每0个章节分为一个文件或该位置输入的不是数字！"},
    {MessageId::NoOutputDirectory, "错误！请指定输出文件路径！"},
    {MessageId::InvalidExpression, "章节表达式无效：{1}"},
    {MessageId::TooComplex, "章节表达式过于复杂，无法完成搜索"},
    {MessageId::NoHeadings,
     "未找到章节标题：全文写入了一个文件。请检查前缀、后缀（如“回”“节”“卷”）或表达式"},
    {MessageId::SuffixWouldFind,
     "未找到章节标题：全文写入了一个文件。后缀改为“{1}”可找到 {2} 个章节标题"},
    {MessageId::OtherSuffixUsed, "未找到“{1}”章节标题，已按“{2}”分割：共 {3} 个章节标题"},
    {MessageId::SplitDone, "分割成功！"},
    {MessageId::CannotConvert, "分割失败！无法无损转换为 {1}：第 {2} 行（字节偏移 {3}）"},
    {MessageId::DuplicateVolumeName, "分割失败！两个输出文件的名称相同：{1}"},
    {MessageId::ReservedVolumeName, "分割失败！输出文件名 {1} 是本程序自用的文件名"},
    {MessageId::WriteFailed, "分割失败！无法写入文件：{1}"},
    {MessageId::SourceKept, "源文件未删除：输出文件未包含源文件的全部内容"},
    {MessageId::SourceIsOutput, "源文件未删除：源文件就是输出文件之一"},
    {MessageId::SourceNotDeleted, "源文件未删除：{1}"},
    {MessageId::SourceFolderBusy, "源文件未删除：输出文件夹正被另一个分割任务使用：{1}"},
    {MessageId::FolderBusy, "分割失败！输出文件夹正被另一个分割任务使用：{1}"},
    {MessageId::FolderLockFailed, "分割失败！无法锁定输出文件夹：{1}"},
    {MessageId::FolderCreateFailed, "分割失败！无法创建输出文件夹：{1}"},
    {MessageId::ReplaceOtherVolumes,
     "输出文件夹中已有其他小说的分卷文件（{1}，共 {2} 个）。替换它们吗？"},
    {MessageId::OtherVolumesFound,
     "分割失败！输出文件夹中已有其他小说的分卷文件：{1}（共 {2} 个）\n"
     "请选择其他输出文件夹，或用 --replace 替换它们"},
    {MessageId::RestoreFailed, "分割失败！无法恢复 {1}：旧内容在 {2} 中"},
    {MessageId::LeftoverNotRemoved, "分割失败！无法删除分割留下的文件：{1}"},
    {MessageId::RecordNameTaken,
     "分割失败！{1} 不是本程序的记录文件，而分割要用这个名称：请移走它或给它改名"},
    {MessageId::CannotReadBack, "源文件未删除：无法读回 {1}：{2}"},
    {MessageId::NotChosenWithOpen,
     "源文件未删除：这部小说是从“一键分割”打开的，只有用“打开”选择的文件才会被删除"},
    {MessageId::FolderFlushFailed, "分割失败！无法同步输出文件夹：{1}"},
    {MessageId::NotRegularFile, "不是普通文件：{1}"},
    {MessageId::InvalidVolumeName, "分割失败！输出文件名无效：{1}"},
    {MessageId::CutShortDuringSplit, "小说在分割时被其他程序截短"},
    {MessageId::NoHeadingsSourceKept, "未找到章节标题：全文写入了一个文件，源文件保留"},
    {MessageId::ManyVolumes, "将写入 {1} 个文件（{2} 个章节标题），继续吗？"},
    {MessageId::OpenSucceeded, "打开成功"},
    {MessageId::OpenFailed, "打开失败：{1}"},
    {MessageId::InvalidExpressionAt, "章节表达式无效：第 {2} 个字符处{1}"},
    {MessageId::WordFirstUsed, "未找到“{1}”章节标题，已按前置标题（“{2}”）分割：共 {3} 个章节标题"},
    {MessageId::EnglishHeadingsUsed,
     "未找到“{1}”章节标题，已按英文标题（“{2}”）分割：共 {3} 个章节标题"},
    {MessageId::NumberedLinesUsed,
     "未找到“{1}”章节标题，已按编号行（“{2}”）分割：共 {3} 个章节标题"},
};
static_assert(coversEveryMessageId(kChinesePatterns));

const char* chinesePattern(MessageId id) {
    return kChinesePatterns[static_cast<std::size_t>(id)].text;
}

}  // namespace

Text fillInMessage(std::string_view pattern, const std::vector<Text>& args, const Text& reason,
                   Text (*literal)(std::string_view utf8)) {
    // The pieces between the arguments are converted one by one: in a double-byte code page
    // the bytes "{1}" may end a character, so the converted whole is never searched.
    Text result;
    std::size_t piece = 0;
    for (std::size_t i = 0; i + 2 < pattern.size(); ++i) {
        if (pattern[i] != '{' || pattern[i + 2] != '}' || pattern[i + 1] < '1' ||
            pattern[i + 1] > '9')
            continue;
        const auto n = static_cast<std::size_t>(pattern[i + 1] - '1');
        if (n >= args.size()) continue;
        result += literal(pattern.substr(piece, i - piece)) + args[n];
        piece = i + 3;
        i += 2;
    }
    result += literal(pattern.substr(piece));
    if (!reason.empty()) result += "\n" + reason;
    return result;
}

namespace {

// PCRE2's words for the compile errors that chapter rules pasted from reader apps meet, and
// the program's own reasons for refusing one, in Chinese. Others stay in PCRE2's English.
struct EngineReason {
    const char* english;
    const char* chinese;
};
constexpr EngineReason kEngineReasons[] = {
    {"\\ at end of pattern", "表达式以 \\ 结尾"},
    {"unrecognized character follows \\", "\\ 后面是无法识别的字符"},
    {"numbers out of order in {} quantifier", "{} 量词中的数字顺序颠倒"},
    {"number too big in {} quantifier", "{} 量词中的数字过大"},
    {"missing terminating ] for character class", "字符类缺少结尾的 ]"},
    {"escape sequence is invalid in character class", "字符类中的转义序列无效"},
    {"range out of order in character class", "字符类中的范围顺序颠倒"},
    {"quantifier does not follow a repeatable item", "量词前面没有可重复的项"},
    {"unrecognized character after (? or (?-", "(? 或 (?- 后面是无法识别的字符"},
    {"POSIX named classes are supported only within a class", "POSIX 命名类只能用在字符类中"},
    {"missing closing parenthesis", "缺少右括号"},
    {"reference to non-existent subpattern", "引用了不存在的子模式"},
    {"regular expression is too large", "正则表达式过大"},
    {"unmatched closing parenthesis", "多余的右括号"},
    {"lookbehind assertion is not fixed length", "后行断言的长度不固定"},
    {"unknown POSIX class name", "未知的 POSIX 类名"},
    {"character code point value in \\x{} or \\o{} is too large",
     "\\x{} 或 \\o{} 中的字符码位过大"},
    {"subpattern name expected", "缺少子模式名称"},
    {"unknown property after \\P or \\p", "\\p 或 \\P 后面是未知的属性名"},
    {"malformed \\P or \\p sequence", "\\p 或 \\P 的写法有误"},
    {"invalid range in character class", "字符类中的范围无效"},
    {"missing ) after (?# comment", "(?# 注释缺少 )"},
    {"lookbehind is too complicated", "后行断言过于复杂"},
    {"\\C is not allowed in a lookbehind assertion in UTF-8 mode", "后行断言中不能使用 \\C"},
    {"digit expected after (?+ or (?-", "(?+ 或 (?- 后面应是数字"},
    {"assertion expected after (?( or (?(?C)", "(?( 后面应是断言"},
    {"missing terminating delimiter for callout with string argument",
     "标注（callout）的字符串参数缺少结尾的分隔符"},
    {"\\N is not supported in a class", "字符类中不能使用 \\N"},
    {"\\k is not followed by a braced, angle-bracketed, or quoted name",
     "\\k 后面应是用 {}、<> 或引号括起的名称"},
    {"a relative value of zero is not allowed", "相对引用不能为零"},
    {"character code point value in \\u.... sequence is too large", "\\u.... 中的字符码位过大"},
    {"disallowed Unicode code point (>= 0xd800 && <= 0xdfff)",
     "不允许的 Unicode 码位（代理区 0xD800 至 0xDFFF）"},
    {"PCRE2 does not support \\F, \\L, \\l, \\N{name}, \\U, or \\u",
     "不支持 \\F、\\L、\\l、\\N{name}、\\U 和 \\u"},
    {"syntax error in subpattern name (missing terminator?)", "子模式名称有语法错误（缺少结尾？）"},
    {"two named subpatterns have the same name (PCRE2_DUPNAMES not set)", "两个命名子模式同名"},
    {"subpattern name must start with a non-digit", "子模式名称不能以数字开头"},
    {"regular expression is too complicated", "正则表达式过于复杂"},
    {"parentheses are too deeply nested", "括号嵌套过深"},
    {"(?U) asks Java for Unicode classes, and would make every quantifier lazy here: leave it out "
     "(\\w and \\s take every script already; write \\p{Nd} for a digit of any script)",
     "(?U) 在 Java 中表示 Unicode 字符类，在这里却会让所有量词变为非贪婪：请删去它（\\w 和 \\s "
     "已包含所有文字；任何文字的数字请写 \\p{Nd}）"},
    {"a negated Java class \\P{...} inside a class cannot be written here: put it outside the "
     "class, as an alternative",
     "字符类中的 Java 取反类 \\P{...} 在这里无法表示：请把它移到字符类之外，写成一个选择分支"},
    {"a class inside a class joins the two in Java, and is a \"[\" here: write one class with the "
     "members of both, and \\[ for the character",
     "字符类中的字符类在 Java "
     "中表示两者的并集，在这里却只是一个“[”：请写成一个包含两者成员的字符类，字符“[”请写 \\["},
    {"&& intersects classes in Java, and is two \"&\" here: write the class that remains, such as "
     "[^\\S\\n] for [\\s&&[^\\n]] or [a-z&&[^aeiou]] as [b-df-hj-np-tv-z]",
     "&& 在 Java 中表示字符类的交集，在这里却是两个“&”：请写出交集本身，如 [\\s&&[^\\n]] 写作 "
     "[^\\S\\n]，[a-z&&[^aeiou]] 写作 [b-df-hj-np-tv-z]"},
    {"a look-behind must have a bounded length: write {0,N} for * and {1,N} for +",
     "后行断言的长度必须有上限：* 请写作 {0,N}，+ 请写作 {1,N}"},
    {"a look-behind of varying length is matched here as one of at most 256 fixed lengths, and "
     "this one needs more: give its repeats smaller bounds",
     "长度不固定的后行断言在这里按至多 256 "
     "种固定长度匹配，这个断言需要的更多：请减小其中重复次数的上限"},
};

}  // namespace

Text chineseEngineReason(const Text& reason) {
    for (const EngineReason& known : kEngineReasons) {
        if (reason == known.english) return programText(known.chinese);
    }
    return reason;
}

Text chineseText(const Message& message) {
    if ((message.id == MessageId::InvalidExpression ||
         message.id == MessageId::InvalidExpressionAt) &&
        !message.args.empty()) {
        Message said = message;
        said.args[0] = chineseEngineReason(said.args[0]);
        return fillInMessage(chinesePattern(said.id), said.args, said.reason, programText);
    }
    return fillInMessage(chinesePattern(message.id), message.args, message.reason, programText);
}

Text defaultTitle() { return programText("信息"); }

}  // namespace folioknife::splitter
