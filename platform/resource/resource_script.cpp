#include "resource/resource_script.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>

#include "base/format.h"
#include "base/text.h"
#include "resource/avi_builder.h"
#include "resource/resource_types.h"
#include "resource/templates.h"
#include "resource/version_info.h"

namespace plat::resource {
namespace {

// The largest image or clip file a script may name.
constexpr std::uintmax_t kMaxFileResource = std::uintmax_t(64) << 20;

struct Token {
    enum Kind { Word, Number, String, End } kind = End;
    std::string text;
    std::uint32_t value = 0;
    int line = 0;
};

struct ScriptError : std::runtime_error {
    ScriptError(int line_, const std::string& what) : std::runtime_error(what), line(line_) {}
    int line;
};

const std::map<std::string, std::uint32_t>& StyleNames() {
    static const std::map<std::string, std::uint32_t> names = {
        {"WS_POPUP", 0x80000000}, {"WS_CHILD", 0x40000000},  {"WS_VISIBLE", 0x10000000}, {"WS_DISABLED", 0x08000000},
        {"WS_CAPTION", 0x00C00000}, {"WS_BORDER", 0x00800000}, {"WS_SYSMENU", 0x00080000}, {"WS_TABSTOP", 0x00010000},
        {"WS_GROUP", 0x00020000},
        {"DS_MODALFRAME", 0x80},  {"BS_PUSHBUTTON", 0x0},    {"BS_DEFPUSHBUTTON", 0x1}, {"BS_OWNERDRAW", 0xB},
        {"SS_LEFT", 0x0},         {"SS_CENTER", 0x1},        {"TBS_HORZ", 0x0},         {"TBS_NOTICKS", 0x10},
        {"TBS_BOTH", 0x8},        {"ACS_CENTER", 0x1},       {"ACS_TRANSPARENT", 0x2},  {"ACS_AUTOPLAY", 0x4},
        {"WS_EX_TOPMOST", 0x8},   {"WS_EX_TOOLWINDOW", 0x80},
    };
    return names;
}

std::vector<Token> Tokenize(const std::string& text) {
    std::vector<Token> tokens;
    int line = 1;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\n') ++line;
        if (std::isspace(static_cast<unsigned char>(c)) || c == ',') {
            ++i;
        } else if (text.compare(i, 2, "//") == 0) {
            i = text.find('\n', i);
            if (i == std::string::npos) i = text.size();
        } else if (c == '"') {
            Token t{Token::String, "", 0, line};
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\n') throw ScriptError(line, "unterminated string");
                if (text[i] == '\\' && i + 1 < text.size()) {
                    ++i;
                    t.text.push_back(text[i] == 'n' ? '\n' : text[i] == 't' ? '\t' : text[i]);
                } else {
                    t.text.push_back(text[i]);
                }
            }
            if (i >= text.size()) throw ScriptError(line, "unterminated string");
            ++i;
            tokens.push_back(std::move(t));
        } else if (c == '|') {
            tokens.push_back({Token::Word, "|", 0, line});
            ++i;
        } else {
            std::size_t end = i;
            while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])) && text[end] != ',' &&
                   text[end] != '"' && text[end] != '|')
                ++end;
            Token t{Token::Word, text.substr(i, end - i), 0, line};
            if (std::isdigit(static_cast<unsigned char>(t.text[0]))) {
                std::size_t used = 0;
                try {
                    const unsigned long v = std::stoul(t.text, &used, 0);
                    if (used != t.text.size() || v > 0xFFFFFFFFul) throw std::out_of_range(t.text);
                    t.kind = Token::Number;
                    t.value = std::uint32_t(v);
                } catch (const std::logic_error&) {
                    throw ScriptError(line, "bad number '" + t.text + "'");
                }
            }
            tokens.push_back(std::move(t));
            i = end;
        }
    }
    tokens.push_back({Token::End, "", 0, line});
    return tokens;
}

class Parser {
public:
    Parser(std::vector<Token> tokens, std::filesystem::path base) : m_tokens(std::move(tokens)), m_base(std::move(base)) {}

    std::vector<ResourceEntry> Run() {
        while (Peek().kind != Token::End) Statement();
        return std::move(m_entries);
    }

private:
    const Token& Peek() const { return m_tokens[m_pos]; }
    const Token& Next() {
        const Token& t = m_tokens[m_pos];
        if (t.kind != Token::End) ++m_pos;
        return t;
    }
    [[noreturn]] void Fail(const std::string& what) const { throw ScriptError(Peek().line, what); }
    bool Accept(const char* word) {
        if (Peek().kind != Token::Word || Peek().text != word) return false;
        ++m_pos;
        return true;
    }
    void Expect(const char* word) {
        if (!Accept(word)) Fail(Format("expected %s", word));
    }
    std::string Text() {
        if (Peek().kind != Token::String) Fail("expected a quoted string");
        return Next().text;
    }
    std::uint32_t Term() {
        const Token& t = Peek();
        if (t.kind == Token::Number) return Next().value;
        if (t.kind == Token::Word) {
            auto it = StyleNames().find(t.text);
            if (it != StyleNames().end()) {
                ++m_pos;
                return it->second;
            }
        }
        Fail("expected a number");
    }
    std::uint32_t Value() {
        std::uint32_t v = Term();
        while (Accept("|")) v |= Term();
        return v;
    }
    WORD Id() {
        const std::uint32_t v = Value();
        if (v == 0 || v > 0xFFFF) Fail(Format("identifier %u out of range 1..65535", v));
        return WORD(v);
    }
    SHORT Coordinate() {
        const std::uint32_t v = Value();
        if (v > 0x7FFF) Fail("coordinate out of range");
        return SHORT(v);
    }

    void Add(std::uint32_t type, WORD id, std::vector<std::uint8_t> data, int line) {
        if (!m_seen.insert({type, id}).second) throw ScriptError(line, Format("duplicate identifier %u", id));
        m_entries.push_back({type, id, std::move(data)});
    }

    void Statement() {
        const int line = Peek().line;
        if (Accept("VERSION")) {
            std::array<WORD, 4> v{};
            for (WORD& part : v) part = WORD(Value());
            Add(RT_VERSION, 1, BuildVersionInfo(v), line);
        } else if (Accept("STRINGTABLE")) {
            StringTable();
        } else if (Accept("BITMAP")) {
            FileResource(RT_BITMAP);
        } else if (Accept("ICON")) {
            FileResource(RT_ICON);
        } else if (Accept("AVI")) {
            Clip(line);
        } else if (Accept("MENU")) {
            const WORD id = Id();
            Add(RT_MENU, id, SerializeMenu(MenuBlock(0)), line);
        } else if (Accept("DIALOG")) {
            Dialog(line);
        } else {
            Fail("unknown statement '" + Peek().text + "'");
        }
    }

    void StringTable() {
        Expect("BEGIN");
        while (!Accept("END")) {
            const int line = Peek().line;
            const WORD id = Id();
            std::u16string text = Utf8ToUtf16(Text());
            text.push_back(0);
            Add(RT_STRING, id, {reinterpret_cast<const std::uint8_t*>(text.data()),
                                reinterpret_cast<const std::uint8_t*>(text.data() + text.size())}, line);
        }
    }

    std::vector<std::uint8_t> ReadFile(int line) {
        const std::filesystem::path path = m_base / Text();
        // Only a regular file of bounded size: a device or a pipe named here
        // (/dev/zero, /dev/stdin) would never end or never arrive.
        std::error_code ec;
        const auto status = std::filesystem::status(path, ec);
        if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
            throw ScriptError(line, "not a regular file: " + path.string());
        if (std::filesystem::exists(status) && std::filesystem::file_size(path, ec) > kMaxFileResource)
            throw ScriptError(line, "larger than 64 MiB: " + path.string());
        std::ifstream in(path, std::ios::binary);
        if (!in) throw ScriptError(line, "cannot read " + path.string());
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    void FileResource(std::uint32_t type) {
        const int line = Peek().line;
        const WORD id = Id();
        Add(type, id, ReadFile(line), line);
    }

    // A clip file, or a clip built from PNG frames at a frame rate.
    void Clip(int line) {
        const WORD id = Id();
        if (!Accept("RATE")) {
            Add(RT_AVI, id, ReadFile(line), line);
            return;
        }
        const std::uint32_t fps = Value();
        Expect("BEGIN");
        std::vector<std::vector<std::uint8_t>> frames;
        while (!Accept("END")) frames.push_back(ReadFile(Peek().line));
        std::string error;
        auto clip = BuildAviFromPngFrames(frames, fps, &error);
        if (!clip) throw ScriptError(line, "AVI " + std::to_string(id) + ": " + error);
        Add(RT_AVI, id, std::move(*clip), line);
    }

    std::vector<MenuItemTemplate> MenuBlock(int depth) {
        if (depth > 8) Fail("menus nest too deeply");
        Expect("BEGIN");
        std::vector<MenuItemTemplate> items;
        while (!Accept("END")) {
            MenuItemTemplate item;
            if (Accept("POPUP")) {
                item.text = Utf8ToUtf16(Text());
                MenuFlags(item);
                item.items = MenuBlock(depth + 1);
                if (item.items.empty()) Fail("empty popup menu");
            } else {
                Expect("MENUITEM");
                if (Accept("SEPARATOR")) {
                    item.flags = MFT_SEPARATOR;
                } else {
                    item.text = Utf8ToUtf16(Text());
                    item.id = Id();
                    MenuFlags(item);
                }
            }
            items.push_back(std::move(item));
        }
        if (items.empty()) Fail("empty menu");
        return items;
    }

    void MenuFlags(MenuItemTemplate& item) {
        for (;;) {
            if (Accept("CHECKED")) item.flags |= MFT_CHECKED;
            else if (Accept("GRAYED")) item.flags |= MFT_GRAYED;
            else return;
        }
    }

    void Dialog(int line) {
        DialogTemplate d;
        const WORD id = Id();
        d.x = Coordinate();
        d.y = Coordinate();
        d.cx = Coordinate();
        d.cy = Coordinate();
        for (;;) {
            if (Accept("STYLE")) d.style = Value();
            else if (Accept("EXSTYLE")) d.exStyle = Value();
            else if (Accept("CAPTION")) d.caption = Utf8ToUtf16(Text());
            else if (Accept("FONT")) {
                d.pointSize = WORD(Value());
                d.faceName = Utf8ToUtf16(Text());
            } else break;
        }
        Expect("BEGIN");
        while (!Accept("END")) {
            Expect("CONTROL");
            DialogItemTemplate item;
            item.text = Utf8ToUtf16(Text());
            item.id = WORD(Value());
            item.className = Utf8ToUtf16(Text());
            item.style = Value();
            item.x = Coordinate();
            item.y = Coordinate();
            item.cx = Coordinate();
            item.cy = Coordinate();
            if (Peek().kind == Token::Number) item.exStyle = Value();
            d.items.push_back(std::move(item));
        }
        Add(RT_DIALOG, id, SerializeDialog(d), line);
    }

    std::vector<Token> m_tokens;
    std::size_t m_pos = 0;
    std::filesystem::path m_base;
    std::vector<ResourceEntry> m_entries;
    std::set<std::pair<std::uint32_t, WORD>> m_seen;
};

}  // namespace

ScriptResult CompileResourceScript(const std::string& text, const std::string& script_path) {
    ScriptResult result;
    try {
        Parser parser(Tokenize(text), std::filesystem::path(script_path).parent_path());
        result.entries = parser.Run();
    } catch (const ScriptError& e) {
        result.error = Format("%s:%d: %s", script_path, e.line, e.what());
    }
    return result;
}

}  // namespace plat::resource
