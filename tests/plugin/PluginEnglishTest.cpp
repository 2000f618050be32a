// Without the localisation library beside it the plug-in answers its texts
// in English, whatever language the host sets.
#include <gtest/gtest.h>

#include "tests/plugin/PluginHost.h"

using namespace s2mtest;

TEST(PluginWithoutLocalisation, HostTextsAreTheEnglishKeys)
{
    ScratchDir folder;
    ASSERT_TRUE(::CopyFileW(DistPath(L"Scan2Mepla.dll").c_str(), folder.File(L"Scan2Mepla.dll").c_str(), FALSE));
    {
        PluginDll dll(folder.File(L"Scan2Mepla.dll"));
        ASSERT_TRUE(dll.Loaded());
        fx::ComPtr<ITVOPlugin2> plugin = dll.Create();
        ASSERT_TRUE(plugin);
        for (LANGID language : {LANGID(0), LANGID(0x0411)}) {
            if (language) {
                EXPECT_EQ(plugin->SetLanguage(language, 0), S_OK);
            }
            using TextFn = HRESULT(STDMETHODCALLTYPE*)(ITVOPlugin2*, BSTR*);
            struct Case { int slot; const wchar_t* text; };
            for (const Case c : {Case{1, L"Tessivo plug-in for メプラ"}, Case{2, L"Send to メプラ"},
                                 Case{3, L"Function to link メプラ and Tessivo"}}) {
                BSTR text = nullptr;
                EXPECT_EQ(Slot<TextFn>(plugin.get(), c.slot)(plugin.get(), &text), S_OK);
                EXPECT_EQ(Take(text), c.text) << "method " << c.slot << ", language " << language;
            }
        }
    }
}
