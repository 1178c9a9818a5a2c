#include "storage/xml_document.h"

#include "storage/text_encoding.h"

#include <ole2.h>
#include <oleauto.h>
#include <string.h>

namespace {

// Far more than any configuration or answer the program keeps; a larger file is refused unread.
const LONGLONG kLargestXmlFile = 1 << 20;

// Defined here: MinGW's import libraries lack some of these symbols.
const CLSID kClsidDomDocument = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kIidXmlDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kIidXmlDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kIidXmlDomElement = {0x2933BF86, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

// MSXML 3 accepts DTDs and expands entities unless told otherwise.
void ProhibitDocumentTypes(IXMLDOMDocument* document) {
    IXMLDOMDocument2* document2 = nullptr;
    if (FAILED(document->QueryInterface(kIidXmlDomDocument2, reinterpret_cast<void**>(&document2)))) return;
    BSTR name = SysAllocString(L"ProhibitDTD");
    VARIANT on;
    VariantInit(&on);
    on.vt = VT_BOOL;
    on.boolVal = VARIANT_TRUE;
    // Older components do not know the property; the DOCTYPE check after loading still holds.
    if (name) (void)document2->setProperty(name, on);
    SysFreeString(name);
    document2->Release();
}

// A document that still carries a DOCTYPE after loading is refused.
bool HasDocumentType(IXMLDOMDocument* document) {
    IXMLDOMDocumentType* doctype = nullptr;
    HRESULT hr = document->get_doctype(&doctype);
    if (doctype) doctype->Release();
    return FAILED(hr) || doctype != nullptr;
}

bool FinishLoad(IXMLDOMDocument* document, HRESULT hr, VARIANT_BOOL loaded) {
    return SUCCEEDED(hr) && loaded == VARIANT_TRUE && !HasDocumentType(document);
}

}  // namespace

bool CreateXmlDocument(XmlDocument* xml) {
    if (!xml) return false;
    xml->document = nullptr;
    IUnknown* unknown = nullptr;
    HRESULT hr = CoCreateInstance(kClsidDomDocument, nullptr,
                                  CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER,
                                  IID_IUnknown, reinterpret_cast<void**>(&unknown));
    if (FAILED(hr)) return false;
    hr = OleRun(unknown);
    if (SUCCEEDED(hr)) hr = unknown->QueryInterface(kIidXmlDomDocument, reinterpret_cast<void**>(&xml->document));
    unknown->Release();
    if (FAILED(hr) || !xml->document) {
        xml->document = nullptr;
        return false;
    }
    // Synchronous loading, no validation and no fetching of anything the text points to.
    if (FAILED(xml->document->put_async(VARIANT_FALSE)) ||
        FAILED(xml->document->put_validateOnParse(VARIANT_FALSE)) ||
        FAILED(xml->document->put_resolveExternals(VARIANT_FALSE))) {
        ReleaseXmlDocument(xml);
        return false;
    }
    ProhibitDocumentTypes(xml->document);
    return true;
}

void ReleaseXmlDocument(XmlDocument* xml) {
    if (xml && xml->document) {
        xml->document->Release();
        xml->document = nullptr;
    }
}

bool LoadXmlFile(XmlDocument& xml, const char* path, bool* unreadable) {
    if (!xml.document || !path) return false;
    // The component reads a file name as a URL and would decode "%41" in a folder's name, so
    // the bytes are read here and handed over whole; it still detects their encoding.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (unreadable) *unreadable = true;
        return false;
    }
    LARGE_INTEGER size = {};
    SAFEARRAY* bytes = nullptr;
    if (GetFileSizeEx(file, &size) && size.QuadPart <= kLargestXmlFile) {
        bytes = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size.QuadPart));
    }
    bool read = false;
    void* data = nullptr;
    // Filled only for bytes the component would refuse as malformed UTF-8.
    HeapText inCodePage;
    bool codePageBytes = false;
    if (bytes && SUCCEEDED(SafeArrayAccessData(bytes, &data))) {
        DWORD got = 0;
        read = ReadFile(file, data, static_cast<DWORD>(size.QuadPart), &got, nullptr) && got == size.QuadPart;
        const char* text = static_cast<const char*>(data);
        codePageBytes = read && XmlCodePage(text, got, nullptr) == CP_ACP;
        if (codePageBytes) read = BytesToWide(text, got, CP_ACP, &inCodePage);
        (void)SafeArrayUnaccessData(bytes);
    }
    (void)CloseHandle(file);
    if (unreadable) *unreadable = !read;
    if (!read || codePageBytes) {
        if (bytes) (void)SafeArrayDestroy(bytes);
        return read && LoadXmlText(xml, WideText(inCodePage));
    }
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_ARRAY | VT_UI1;
    source.parray = bytes;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    HRESULT hr = xml.document->load(source, &loaded);
    // Destroys the array too.
    (void)VariantClear(&source);
    return FinishLoad(xml.document, hr, loaded);
}

bool LoadXmlText(XmlDocument& xml, const wchar_t* text) {
    if (!xml.document || !text) return false;
    BSTR source = SysAllocString(text);
    if (!source) return false;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    HRESULT hr = xml.document->loadXML(source, &loaded);
    SysFreeString(source);
    return FinishLoad(xml.document, hr, loaded);
}

IXMLDOMElement* SelectElement(IXMLDOMNode* context, const wchar_t* xpath) {
    if (!context || !xpath) return nullptr;
    BSTR query = SysAllocString(xpath);
    if (!query) return nullptr;
    IXMLDOMNode* node = nullptr;
    HRESULT hr = context->selectSingleNode(query, &node);
    SysFreeString(query);
    if (FAILED(hr) || !node) return nullptr;
    IXMLDOMElement* element = nullptr;
    if (FAILED(node->QueryInterface(kIidXmlDomElement, reinterpret_cast<void**>(&element)))) element = nullptr;
    node->Release();
    return element;
}

IXMLDOMElement* SelectElement(XmlDocument& xml, const wchar_t* xpath) {
    return SelectElement(static_cast<IXMLDOMNode*>(xml.document), xpath);
}

XmlValue ReadAttribute(IXMLDOMElement* element, const wchar_t* name, char* out, size_t capacity) {
    if (!element || !name) return XmlValue::Unusable;
    BSTR attribute = SysAllocString(name);
    if (!attribute) return XmlValue::Unusable;
    VARIANT value;
    VariantInit(&value);
    HRESULT hr = element->getAttribute(attribute, &value);
    SysFreeString(attribute);
    if (FAILED(hr)) return XmlValue::Unusable;
    XmlValue result = XmlValue::Unusable;
    if (value.vt == VT_NULL || value.vt == VT_EMPTY) {
        result = XmlValue::Absent;
    } else if (VariantToText(value, out, capacity)) {
        result = XmlValue::Read;
    }
    VariantClear(&value);
    return result;
}

bool ReadNodeText(IXMLDOMNode* node, UINT codePage, HeapText* text) {
    if (!node || !text) return false;
    BSTR value = nullptr;
    if (FAILED(node->get_text(&value))) return false;
    bool read = WideToText(value, codePage, text);
    SysFreeString(value);
    return read;
}

bool VariantToText(const VARIANT& value, char* out, size_t capacity) {
    if (value.vt == VT_NULL || !out || capacity == 0) return false;
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR))) return false;
    HeapText narrow;
    bool converted = WideToText(text.bstrVal, CP_ACP, &narrow);
    VariantClear(&text);
    if (!converted || narrow.length == 0 || narrow.length >= capacity) return false;
    memcpy(out, NarrowText(narrow), narrow.length + 1);
    return true;
}
