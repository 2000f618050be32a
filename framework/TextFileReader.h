// Reads a UTF-16 little-endian text file line by line as raw 16-bit
// characters: no byte-order-mark handling, no line-end translation.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/Unique.h"

namespace fx {

class TextFileReader {
public:
    TextFileReader() = default;
    TextFileReader(const TextFileReader&) = delete;
    TextFileReader& operator=(const TextFileReader&) = delete;

    // 0, or the converted system error of opening the file.
    HRESULT Open(const wchar_t* path);
    // The next line with its line feed (the last line may lack one), however
    // long it is.  S_OK with a line, S_FALSE at the end of the file (line
    // empty), or the converted system error of reading.  A lone byte at the
    // end of the file is no character and is dropped.
    HRESULT ReadLine(std::wstring& line);
    void Close();

private:
    HRESULT Fill();

    UniqueFile m_file;
    std::vector<char> m_buffer;
    size_t m_begin = 0;  // first unread byte
    size_t m_end = 0;    // one past the last byte read
    bool m_eof = false;
};

}  // namespace fx
