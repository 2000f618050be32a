#include "framework/TextFileReader.h"

#include <cstring>

#include "framework/Result.h"

namespace fx {

namespace {
constexpr size_t kChunkBytes = 64 * 1024;
}

HRESULT TextFileReader::Open(const wchar_t* path)
{
    Close();
    m_file.reset(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!m_file) return HResultFromLastError();
    m_buffer.resize(kChunkBytes);
    return S_OK;
}

void TextFileReader::Close()
{
    m_file.reset();
    m_begin = m_end = 0;
    m_eof = false;
}

// Moves the unread bytes to the front and reads more behind them.
HRESULT TextFileReader::Fill()
{
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    DWORD read = 0;
    if (!::ReadFile(m_file.get(), m_buffer.data() + m_end, static_cast<DWORD>(m_buffer.size() - m_end), &read,
                    nullptr))
        return HResultFromLastError();
    if (read == 0) m_eof = true;
    m_end += read;
    return S_OK;
}

HRESULT TextFileReader::ReadLine(std::wstring& line)
{
    line.clear();
    if (!m_file) return HResultFromCode(ERROR_INVALID_HANDLE);
    for (;;) {
        while (m_end - m_begin >= sizeof(wchar_t)) {
            wchar_t c;
            std::memcpy(&c, m_buffer.data() + m_begin, sizeof c);
            m_begin += sizeof c;
            line.push_back(c);
            if (c == L'\n') return S_OK;
        }
        if (m_eof) {
            m_begin = m_end;  // a lone trailing byte
            return line.empty() ? S_FALSE : S_OK;
        }
        const HRESULT hr = Fill();
        if (FAILED(hr)) return hr;
    }
}

}  // namespace fx
