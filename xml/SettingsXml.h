// What the settings-file readers, writers and merger share.
#pragma once

#include <string>

#include "datasource/MyGuid.h"
#include "xml/MyXml.h"

namespace settingsxml {

constexpr long kFileNotFound = 2;    // ERROR_FILE_NOT_FOUND
constexpr long kAccessDenied = 5;    // ERROR_ACCESS_DENIED
constexpr long kInvalidHandle = 6;   // ERROR_INVALID_HANDLE
constexpr long kBadEnvironment = 10; // ERROR_BAD_ENVIRONMENT
constexpr long kInvalidData = 13;    // ERROR_INVALID_DATA
constexpr long kBadArguments = 160;  // ERROR_BAD_ARGUMENTS
constexpr long kInternalError = 1359; // ERROR_INTERNAL_ERROR

// Puts the cursor on the first Setting whose "ID" is the braced form of id
// (compared exactly); false when there is none.
bool FindSetting(MyXmlReader& reader, const MyGuid& id);

// Digits 0-9 only, non-empty, within a 32-bit signed value.
bool ParseInteger(const std::wstring& text, long& value);
// "true"/"1" and "false"/"0" in any letter case.
bool ParseFlag(const std::wstring& text, bool& value);

}  // namespace settingsxml
