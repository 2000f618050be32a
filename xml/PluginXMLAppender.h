// Merges the elements of one settings file into another.
#pragma once

#include <string>

class PluginXMLAppender {
public:
    virtual ~PluginXMLAppender() = default;
    // Every `tag` element of `source` replaces the destination's element with
    // the same `idName` attribute (or, without idName, the first that it
    // Matches), or is appended to the first `parentTag` element.  A
    // destination that cannot be loaded is made afresh with `rootName`.
    // 0; 2 source not loaded; 5 destination not made or not saved; 13 merge
    // failed.  Takes no mutex; the source file is never written.
    virtual long Append(const wchar_t* destination, const wchar_t* source, const wchar_t* tag,
                        const wchar_t* parentTag, const wchar_t* rootName, const wchar_t* idName) = 0;
};

class PluginXMLAppenderUtf8 : public PluginXMLAppender {
public:
    PluginXMLAppenderUtf8() = default;
    long Append(const wchar_t* destination, const wchar_t* source, const wchar_t* tag,
                const wchar_t* parentTag, const wchar_t* rootName, const wchar_t* idName) override;
};
