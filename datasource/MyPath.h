// File and folder path values over the shell's path functions.
#pragma once

#include <string>

class MyPath {
public:
    virtual ~MyPath() = default;
    virtual std::wstring& GetPath() = 0;
    virtual const std::wstring& GetPathConst() const = 0;
    virtual std::wstring CopyPath() const = 0;
    virtual std::wstring& SetPath(const std::wstring& path) = 0;
};

class MyFilePath : public MyPath {
public:
    explicit MyFilePath(std::wstring path = std::wstring()) : m_strPath(std::move(path)) {}

    std::wstring& GetPath() override { return m_strPath; }
    const std::wstring& GetPathConst() const override { return m_strPath; }
    std::wstring CopyPath() const override { return m_strPath; }
    std::wstring& SetPath(const std::wstring& path) override { return m_strPath = path; }

    bool Exists() const;
    // The path without its last component; empty when nothing can be removed.
    std::wstring GetFolder() const;

private:
    std::wstring m_strPath;
};

class MyFolderPath : public MyPath {
public:
    explicit MyFolderPath(std::wstring path = std::wstring()) : m_strPath(std::move(path)) {}

    std::wstring& GetPath() override { return m_strPath; }
    const std::wstring& GetPathConst() const override { return m_strPath; }
    std::wstring CopyPath() const override { return m_strPath; }
    std::wstring& SetPath(const std::wstring& path) override { return m_strPath = path; }

    bool Exists() const;
    // A copy of the path with `name` joined by one backslash; the stored path
    // is unchanged.  Within MAX_PATH: a join that would not fit gives the
    // stored path unchanged.
    std::wstring Append(const std::wstring& name) const;
    // Creates every missing level; 0 or the Windows error of the failing level.
    long CreateTree() const;

private:
    std::wstring m_strPath;
};
