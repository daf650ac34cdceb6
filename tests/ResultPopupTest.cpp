// The result popup: the escaping, the XAML around the message and the one host call.
#include "export/ResultPopup.h"
#include "support/TestSupport.h"

#include <tinyxml.h>

namespace qxtest {
namespace {

TEST(ReplaceAllTest, ReplacesEachOriginalOccurrenceOnce) {
  struct Row {
    const char* name;
    QxString text, search, replacement, expected;
  };
  const Row rows[] = {
      {"empty search", QX_TEXT("abc"), QX_TEXT(""), QX_TEXT("x"), QX_TEXT("abc")},
      {"empty search, empty text", QX_TEXT(""), QX_TEXT(""), QX_TEXT("x"), QX_TEXT("")},
      {"no occurrence", QX_TEXT("abc"), QX_TEXT("d"), QX_TEXT("x"), QX_TEXT("abc")},
      {"replacement holds the search", QX_TEXT("aaa"), QX_TEXT("a"), QX_TEXT("aa"), QX_TEXT("aaaaaa")},
      {"search inside replacement", QX_TEXT("&&"), QX_TEXT("&"), QX_TEXT("&amp;"), QX_TEXT("&amp;&amp;")},
      {"non-overlapping", QX_TEXT("aaaa"), QX_TEXT("aa"), QX_TEXT("b"), QX_TEXT("bb")},
      {"left to right", QX_TEXT("aaa"), QX_TEXT("aa"), QX_TEXT("b"), QX_TEXT("ba")},
      {"at both ends", QX_TEXT("xax"), QX_TEXT("x"), QX_TEXT("yy"), QX_TEXT("yyayy")},
      {"deleting", QX_TEXT("a-b--c"), QX_TEXT("-"), QX_TEXT(""), QX_TEXT("abc")},
      {"whole text", QX_TEXT("abc"), QX_TEXT("abc"), QX_TEXT(""), QX_TEXT("")},
      {"two units", QX_TEXT("a\r\nb\n"), QX_TEXT("\r\n"), QX_TEXT("|"), QX_TEXT("a|b\n")},
      {"non-BMP search", QX_TEXT("\U0001F600Ж\U0001F600"), QX_TEXT("\U0001F600"), QX_TEXT("!"),
       QX_TEXT("!Ж!")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    QxString text = row.text;
    ReplaceAll(text, row.search, row.replacement);
    EXPECT_EQ(Utf8(text), Utf8(row.expected));
  }
}

// Pieces 1-10 and 12-14 of the popup, the message going between them.
std::string MarkupAround(const std::string& escaped) {
  const char* const before[] = {
      "<Border xmlns='http://schemas.microsoft.com/winfx/2006/xaml/presentation'"
      " xmlns:x='http://schemas.microsoft.com/winfx/2006/xaml'",
      " VerticalAlignment='Center' HorizontalAlignment='Center' Padding='4' BorderThickness='1'"
      " BorderBrush='#767676' MaxWidth='212'>",
      " <Border.Background>",
      "  <LinearGradientBrush StartPoint='0, 0' EndPoint='0, 1'>",
      "   <GradientStop Color='#ffffff' Offset='0'/>",
      "   <GradientStop Color='#c9d9ef' Offset='1'/>",
      "  </LinearGradientBrush>",
      " </Border.Background>",
      " <StackPanel TextBlock.FontFamily='Tahoma'>",
      "  <TextBlock Padding='9, 6, 30, 7' TextWrapping='Wrap'>",
  };
  const char* const after[] = {"  </TextBlock>", " </StackPanel>", "</Border>"};
  std::string markup;
  for (const char* piece : before) markup += piece;
  markup += escaped;
  for (const char* piece : after) markup += piece;
  return markup;
}

class ResultPopupTest : public ::testing::Test {
 protected:
  void SetUp() override { QxStub_Reset(); }

  // The markup of the one popup that `message` made.
  std::string Show(const QxChar* message) {
    QxStub_Reset();
    ShowResultPopup(message);
    if (QxStub_PopupCount() != 1) {
      ADD_FAILURE() << QxStub_PopupCount() << " popups";
      return {};
    }
    return Utf8(QxStub_Popup(0));
  }
};

TEST_F(ResultPopupTest, PlainMessageIsWrappedUnchanged) {
  for (const QxChar* message : {QX_TEXT("Successfully saved the data"), QX_TEXT("Failed to save the data"),
                                QX_TEXT("Данные успешно сохранены"), QX_TEXT("Не удалось сохранить данные")}) {
    SCOPED_TRACE(Utf8(message));
    EXPECT_EQ(Show(message), MarkupAround(Utf8(message)));
  }
}

TEST_F(ResultPopupTest, MessageIsEscapedAsXmlText) {
  struct Row {
    const char* name;
    const QxChar* message;
    std::string escaped;
  };
  const Row rows[] = {
      {"less-than and ampersand", QX_TEXT("a<b & c"), "a&lt;b &amp; c"},
      {"every markup character", QX_TEXT("&<>'\""), "&amp;&lt;&gt;&apos;&quot;"},
      {"entity escaped again", QX_TEXT("x&amp;y"), "x&amp;amp;y"},
      {"character reference escaped", QX_TEXT("&#x41F;"), "&amp;#x41F;"},
      {"CR LF", QX_TEXT("a\r\nb"), "a&#x0a;b"},
      {"lone LF", QX_TEXT("a\nb"), "a&#x0a;b"},
      {"lone CR stays", QX_TEXT("a\rb"), "a\rb"},
      {"LF CR", QX_TEXT("a\n\rb"), "a&#x0a;\rb"},
      {"CR CR LF", QX_TEXT("a\r\r\nb"), "a\r&#x0a;b"},
      {"closing tag", QX_TEXT("</TextBlock>"), "&lt;/TextBlock&gt;"},
      {"empty", QX_TEXT(""), ""},
      {"null", nullptr, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Show(row.message), MarkupAround(row.escaped));
  }
}

TEST_F(ResultPopupTest, HostIsCalledOnceWithTheMarkupFor3000) {
  ShowResultPopup(QX_TEXT("Saved & done"));
  const std::vector<nlohmann::json> log = CallLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0]["call"], "AddinQX_ShowPopupCustom");
  ASSERT_EQ(log[0]["args"].size(), 2u);
  EXPECT_EQ(log[0]["args"][0], MarkupAround("Saved &amp; done"));
  EXPECT_EQ(log[0]["args"][1], 3000);
  EXPECT_FALSE(log[0].contains("result"));
}

// An XML reader finds the message again, whatever it holds, as the one TextBlock's text.
TEST_F(ResultPopupTest, MarkupParsesAndHoldsTheMessage) {
  struct Row {
    const char* name;
    const QxChar* message;
    std::string text;  // as read back: line breaks arrive as LF
  };
  const Row rows[] = {
      {"plain", QX_TEXT("Successfully saved the data"), "Successfully saved the data"},
      {"Cyrillic", QX_TEXT("Не удалось сохранить данные"), "Не удалось сохранить данные"},
      {"markup characters", QX_TEXT("<b>'x' & \"y\"</b>"), "<b>'x' & \"y\"</b>"},
      {"entity", QX_TEXT("&amp;&#x41F;"), "&amp;&#x41F;"},
      {"line breaks", QX_TEXT("one\r\ntwo\nthree"), "one\ntwo\nthree"},
      {"emoji", QX_TEXT("ok \U0001F600"), "ok \xF0\x9F\x98\x80"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string markup = Show(row.message);
    TiXmlDocument document;
    document.Parse(markup.c_str(), nullptr, TIXML_ENCODING_UTF8);
    ASSERT_FALSE(document.Error()) << document.ErrorDesc() << "\n" << markup;
    const TiXmlElement* border = document.RootElement();
    ASSERT_NE(border, nullptr);
    EXPECT_STREQ(border->Value(), "Border");
    EXPECT_EQ(border->NextSiblingElement(), nullptr);

    const TiXmlElement* brush = border->FirstChildElement("Border.Background");
    brush = brush != nullptr ? brush->FirstChildElement("LinearGradientBrush") : nullptr;
    ASSERT_NE(brush, nullptr);
    int stops = 0;
    for (const TiXmlElement* stop = brush->FirstChildElement("GradientStop"); stop != nullptr;
         stop = stop->NextSiblingElement("GradientStop")) {
      ++stops;
    }
    EXPECT_EQ(stops, 2);

    const TiXmlElement* panel = border->FirstChildElement("StackPanel");
    ASSERT_NE(panel, nullptr);
    const TiXmlElement* block = panel->FirstChildElement("TextBlock");
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->NextSiblingElement(), nullptr);
    EXPECT_EQ(block->FirstChildElement(), nullptr);
    ASSERT_NE(block->GetText(), nullptr);
    EXPECT_EQ(std::string(block->GetText()), row.text);
  }
}

}  // namespace
}  // namespace qxtest
