// Thin access to the platform XML document object (MSXML's DOMDocument through COM).
// No error of the component escapes this layer: every failure is a false or a null result.
// The calling thread must have initialised COM.
#pragma once

#include <windows.h>
#include <msxml2.h>
#include <stddef.h>

#include "storage/heap_text.h"

// An owning reference to one document.
struct XmlDocument {
    IXMLDOMDocument* document = nullptr;
};

// What reading one attribute found.
enum class XmlValue {
    Absent,    // the element has no such attribute
    Unusable,  // present, but empty or too long for the destination
    Read,      // copied into the destination
};

// Creates a synchronous document that refuses document type declarations.
bool CreateXmlDocument(XmlDocument* xml);
// Releases the document; safe on a document that was never created.
void ReleaseXmlDocument(XmlDocument* xml);

// Loads a file, whatever characters its path holds; false when it is missing, unreadable,
// over 1 MiB, malformed or carries a DOCTYPE. Bytes that name no encoding and are not UTF-8
// are read in the system code page, as earlier versions wrote them.
// unreadable, when given, is set when the file's bytes could not be read at all.
bool LoadXmlFile(XmlDocument& xml, const char* path, bool* unreadable = nullptr);
// Loads a text; false when it is empty, malformed or carries a DOCTYPE.
bool LoadXmlText(XmlDocument& xml, const wchar_t* text);

// The first element matched by the XPath below context, or null. The caller releases it.
IXMLDOMElement* SelectElement(IXMLDOMNode* context, const wchar_t* xpath);
// Overload for the document itself as the context.
IXMLDOMElement* SelectElement(XmlDocument& xml, const wchar_t* xpath);

// Reads an attribute as text in the system code page into out (capacity counts the NUL).
XmlValue ReadAttribute(IXMLDOMElement* element, const wchar_t* name, char* out, size_t capacity);
// Appends the text content of a node in codePage; false when the component fails, the text
// does not convert or memory runs out.
bool ReadNodeText(IXMLDOMNode* node, UINT codePage, HeapText* text);

// A variant as text in the system code page; false for VT_NULL, an empty text, a failed
// conversion, or a text that does not fit capacity (which counts the NUL).
bool VariantToText(const VARIANT& value, char* out, size_t capacity);
