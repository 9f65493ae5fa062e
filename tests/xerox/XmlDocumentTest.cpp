#include <gtest/gtest.h>

#include <string>

#include "SoapMessages.h"
#include "XmlDocument.h"

namespace {

using xerox::ParseXml;

struct XmlCase {
  const char* name;
  std::string document;
  bool accepted;
  const char* text = "";  // the text of the root's first child when accepted
};

std::string Nested(int depth) {
  std::string deep;
  for (int i = 0; i < depth; ++i) deep += "<e>";
  for (int i = 0; i < depth; ++i) deep += "</e>";
  return deep;
}

const XmlCase kXmlCases[] = {
    {"Plain", "<a><b>x</b></a>", true, "x"},
    {"DeclarationCommentsAndBom", "\xEF\xBB\xBF<?xml version=\"1.0\"?><!-- c --><a x='1' y=\"2\"><b>x</b></a> ", true, "x"},
    {"Entities", "<a><b>&lt;&amp;&gt;&quot;&apos;&#65;&#x42;&#xe9;</b></a>", true, "<&>\"'AB\xC3\xA9"},
    {"Cdata", "<a><b><![CDATA[<not>&markup;]]></b></a>", true, "<not>&markup;"},
    {"Prefixes", "<s:a xmlns:s='u'><s:b>x</s:b></s:a>", true, "x"},
    {"Empty", "", false},
    {"DocumentType", "<!DOCTYPE a [<!ENTITY e 'x'>]><a><b>&e;</b></a>", false},
    {"UnknownEntity", "<a><b>&e;</b></a>", false},
    {"ReferenceToNul", "<a><b>&#0;</b></a>", false},
    {"ReferenceTooLong", "<a><b>&#x0000000041;</b></a>", false},
    {"Mismatched", "<a><b>x</c></a>", false},
    {"Unclosed", "<a><b>x</b>", false},
    {"TwoRoots", "<a/><b/>", false},
    {"NotUtf8", "<a><b>\xE9</b></a>", false},
    {"Overlong", "<a><b>\xC0\xAF</b></a>", false},
    {"ControlCharacter", std::string("<a><b>\x01</b></a>"), false},
    {"LessThanInAttribute", "<a x='<'/>", false},
    {"UnquotedAttribute", "<a x=1/>", false},
    {"TooDeep", Nested(40), false},
};

class XmlReading : public ::testing::TestWithParam<XmlCase> {};

TEST_P(XmlReading, AcceptsWellFormedAnswersOnly) {
  std::string error;
  const auto root = ParseXml(GetParam().document, error);
  ASSERT_EQ(root.has_value(), GetParam().accepted) << error;
  if (!root) {
    EXPECT_FALSE(error.empty());
    return;
  }
  ASSERT_FALSE(root->children.empty());
  EXPECT_EQ(root->children.front().text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Documents, XmlReading, ::testing::ValuesIn(kXmlCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(XmlReading, RefusesMoreThanTheSizeLimit) {
  std::string error;
  EXPECT_FALSE(ParseXml("<a>" + std::string(200, 'x') + "</a>", error, {.maxBytes = 100}));
  EXPECT_NE(error.find("larger than 100 bytes"), std::string::npos) << error;
}

TEST(XmlReading, EscapedTextReadsBack) {
  const std::string text = "a<b>&\"c'";
  std::string error;
  const auto root = ParseXml("<a>" + xerox::EscapeXml(text) + "</a>", error);
  ASSERT_TRUE(root) << error;
  EXPECT_EQ(root->text, text);
}

struct AnswerCase {
  const char* name;
  std::string document;
  bool envelope;
  const char* fault = nullptr;  // the fault text, when a fault
};

const std::string kEnvelopeStart = "<S:Envelope xmlns:S='http://schemas.xmlsoap.org/soap/envelope/'><S:Header/><S:Body>";
const std::string kEnvelopeEnd = "</S:Body></S:Envelope>";

const AnswerCase kAnswerCases[] = {
    {"Answer", kEnvelopeStart + "<x:VoidResponse xmlns:x='n'/>" + kEnvelopeEnd, true},
    {"Soap11Fault", kEnvelopeStart + "<S:Fault><faultcode>S:Server</faultcode><faultstring> Full </faultstring></S:Fault>" + kEnvelopeEnd,
     true, "Full"},
    {"Soap12Fault", kEnvelopeStart + "<S:Fault><S:Code><S:Value>S:Receiver</S:Value></S:Code><S:Reason><S:Text>Busy</S:Text></S:Reason></S:Fault>" + kEnvelopeEnd,
     true, "Busy"},
    {"NoEnvelope", "<html><body/></html>", false},
    {"NoBody", "<S:Envelope xmlns:S='u'><S:Header/></S:Envelope>", false},
    {"EmptyBody", kEnvelopeStart + kEnvelopeEnd, false},
};

class SoapAnswers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(SoapAnswers, AreReadAsContentOrFault) {
  std::string error;
  const auto answer = xerox::ParseSoapAnswer(GetParam().document, error);
  ASSERT_EQ(answer.has_value(), GetParam().envelope) << error;
  if (!answer) return;
  if (GetParam().fault) {
    ASSERT_TRUE(answer->fault);
    EXPECT_EQ(answer->fault->text, GetParam().fault);
  } else {
    EXPECT_FALSE(answer->fault);
    EXPECT_EQ(answer->content.LocalName(), "VoidResponse");
  }
}

INSTANTIATE_TEST_SUITE_P(Documents, SoapAnswers, ::testing::ValuesIn(kAnswerCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SoapAnswers, TemplateListAndChecksums) {
  std::string error;
  const auto list = xerox::ParseSoapAnswer(kEnvelopeStart +
                                               "<x:TemplateEntries xmlns:x='n'>"
                                               "<x:TemplateEntry><x:TemplateName>a.xst</x:TemplateName><x:TemplateChecksum>4294967295</x:TemplateChecksum></x:TemplateEntry>"
                                               "<x:TemplateEntry><x:TemplateName>b.xst</x:TemplateName><x:TemplateChecksum>-1</x:TemplateChecksum></x:TemplateEntry>"
                                               "</x:TemplateEntries>" +
                                               kEnvelopeEnd,
                                           error);
  ASSERT_TRUE(list) << error;
  const auto entries = xerox::ReadTemplateList(list->content, error);
  ASSERT_TRUE(entries) << error;
  ASSERT_EQ(entries->size(), 2u);
  EXPECT_EQ((*entries)[0].name, "a.xst");
  EXPECT_EQ((*entries)[0].checksum, 4294967295u);
  EXPECT_EQ((*entries)[1].checksum, 4294967295u) << "a signed -1 is the same 32 bits";

  for (const char* bad : {"4294967296", "12a", "", "-2147483649"}) {
    SCOPED_TRACE(bad);
    const auto put = xerox::ParseSoapAnswer(kEnvelopeStart + "<ChecksumResponse><TemplateChecksum>" + bad +
                                                "</TemplateChecksum></ChecksumResponse>" + kEnvelopeEnd,
                                            error);
    ASSERT_TRUE(put) << error;
    EXPECT_FALSE(xerox::ReadPutChecksum(put->content, error));
  }
}

}  // namespace
