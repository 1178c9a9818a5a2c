#include "storage/xml_document.h"

#include <gtest/gtest.h>
#include <objbase.h>

namespace {

struct XmlDocumentTest : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_TRUE(CreateXmlDocument(&xml));
    }
    void TearDown() override {
        ReleaseXmlDocument(&xml);
        CoUninitialize();
    }
    XmlDocument xml;
};

TEST_F(XmlDocumentTest, AttributesAreAbsentUnusableOrRead) {
    ASSERT_TRUE(LoadXmlText(xml, L"<a><b x='1' empty='' long='123456789'/></a>"));
    IXMLDOMElement* b = SelectElement(xml, L"//b");
    ASSERT_NE(nullptr, b);
    char out[8] = "keep";
    EXPECT_EQ(XmlValue::Absent, ReadAttribute(b, L"missing", out, sizeof out));
    EXPECT_EQ(XmlValue::Unusable, ReadAttribute(b, L"empty", out, sizeof out));
    EXPECT_EQ(XmlValue::Unusable, ReadAttribute(b, L"long", out, sizeof out));
    EXPECT_STREQ("keep", out);
    EXPECT_EQ(XmlValue::Read, ReadAttribute(b, L"x", out, sizeof out));
    EXPECT_STREQ("1", out);
    b->Release();
    EXPECT_EQ(nullptr, SelectElement(xml, L"//B"));
}

TEST_F(XmlDocumentTest, RefusesMalformedEmptyAndDoctypeDocuments) {
    EXPECT_FALSE(LoadXmlText(xml, L""));
    EXPECT_FALSE(LoadXmlText(xml, L"<a><b></a>"));
    EXPECT_FALSE(LoadXmlText(xml, L"<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>"));
    EXPECT_FALSE(LoadXmlFile(xml, "C:\\no\\such\\file.xml"));
}

TEST_F(XmlDocumentTest, ConvertsBetweenCodePageAndUtf16) {
    EXPECT_EQ(L"abc", NarrowToWide("abc"));
    EXPECT_EQ("abc", WideToNarrow(L"abc"));
    EXPECT_EQ(L"", NarrowToWide(nullptr));
    EXPECT_EQ("", WideToNarrow(nullptr));
}

}  // namespace
