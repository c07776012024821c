// Line syntax, comments and lookups of key-value settings files.
#include "platform/configfile.h"
#include "fs/memfile.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
std::string ValueOf(const char* line, char sep = '=')
{
    ConfigFile cfg(sep);
    if (!cfg.ParseLine(line, sep))
        return "<none>";
    return cfg.Entries()[0].key + "|" + cfg.Entries()[0].value;
}

ConfigFile LoadText(const std::string& text, char sep = '=')
{
    memfile_t view(reinterpret_cast<const unsigned char*>(text.data()), static_cast<uint32_t>(text.size()),
                   "t.cfg", false);
    ConfigFile cfg(sep);
    cfg.Load(view, sep);
    return cfg;
}
} // namespace

TEST(ConfigFileTest, LineSyntax)
{
    EXPECT_EQ(ValueOf("width=800"), "width|800");
    EXPECT_EQ(ValueOf("width = 800 "), "width|800 ");
    EXPECT_EQ(ValueOf("  WIDTH\t=\t800"), "WIDTH|800");
    EXPECT_EQ(ValueOf("my key = v"), "mykey|v");
    EXPECT_EQ(ValueOf("q3apath = D:/My Games/Q3A Install"), "q3apath|D:/My Games/Q3A Install");
    EXPECT_EQ(ValueOf("caption = My Viewer // the title"), "caption|MyViewer");
    EXPECT_EQ(ValueOf("caption = \"My Viewer\" // the title"), "caption|My Viewer");
    EXPECT_EQ(ValueOf("caption = \"a\tb\""), "caption|ab");
    EXPECT_EQ(ValueOf("empty ="), "empty|");
    EXPECT_EQ(ValueOf("fov 90", ' '), "fov|90");
    EXPECT_EQ(ValueOf("bind F1 nextmodel", ' '), "bind|F1 nextmodel");

    EXPECT_EQ(ValueOf("   // width = 800"), "<none>");
    EXPECT_EQ(ValueOf("no separator here"), "<none>");
    EXPECT_EQ(ValueOf(" \t "), "<none>");
    EXPECT_EQ(ValueOf(std::string(511, 'k').append("=1").c_str()), std::string(511, 'k') + "|1");
    EXPECT_EQ(ValueOf(std::string(512, 'k').append("=1").c_str()), "<none>");
}

TEST(ConfigFileTest, LoadHandlesCommentsAndLineEnds)
{
    ConfigFile cfg = LoadText("a=1\r\n/* start\nb=2\n*/ end\n /* not a comment=3\nc=4\n// d=5\nlast=6");
    std::vector<std::string> keys;
    for (const KeyValue& kv : cfg.Entries())
        keys.push_back(kv.key);
    EXPECT_EQ(keys, (std::vector<std::string>{"a", "/*notacomment", "c", "last"}));
    EXPECT_EQ(cfg.GetInt("LAST", -1), 6);

    // An unterminated block comment swallows the rest of the file.
    EXPECT_EQ(LoadText("/*\nx=1\ny=2").Entries().size(), 0u);
    // A file of more pairs than any settings file has keeps the first ones only.
    std::string many;
    for (int i = 0; i <= CONFIG_MAX_PAIRS; i++)
        many += "k" + std::to_string(i) + "=1\n";
    EXPECT_EQ(LoadText(many).Entries().size(), static_cast<size_t>(CONFIG_MAX_PAIRS));
}

TEST(ConfigFileTest, LookupsIgnoreCaseAndFirstWins)
{
    ConfigFile cfg = LoadText("Width=800px\nwidth=1024\nname=abc\n");
    EXPECT_EQ(cfg.GetInt("WIDTH", 0), 800);
    EXPECT_EQ(cfg.GetInt("name", 7), 0);
    EXPECT_EQ(cfg.GetInt("missing", 7), 7);
    EXPECT_EQ(cfg.Find(nullptr), nullptr);

    int out = 42;
    EXPECT_FALSE(cfg.GetInt("missing", &out));
    EXPECT_EQ(out, 42);
    EXPECT_TRUE(cfg.GetInt("width", &out));
    EXPECT_EQ(out, 800);
}
