#include "DialogFont.h"

#include <cstring>
#include <cwchar>

namespace {

constexpr const wchar_t* kFaces[] = {L"ＭＳ Ｐゴシック", L"Yu Gothic UI", L"Meiryo UI"};

bool FaceInstalled(HDC dc, const wchar_t* face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    EnumFontFamiliesExW(
        dc, &wanted,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM seen) -> int {
            *reinterpret_cast<bool*>(seen) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

// A menu, class or title field of a template: 0x0000 (none), 0xFFFF and an
// ordinal, or a string ended by 0. Returns the index after it, or `end`.
std::size_t SkipSzOrOrd(const WORD* words, std::size_t at, std::size_t end) {
    if (at >= end) return end;
    if (words[at] == 0x0000) return at + 1;
    if (words[at] == 0xFFFF) return at + 2;
    while (at < end && words[at] != 0) ++at;
    return at + 1;
}

}  // namespace

const wchar_t* DialogFaceName() {
    static const wchar_t* const face = [] {
        HDC dc = GetDC(nullptr);
        const wchar_t* chosen = kFaces[0];
        for (const wchar_t* candidate : kFaces) {
            if (FaceInstalled(dc, candidate)) {
                chosen = candidate;
                break;
            }
        }
        ReleaseDC(nullptr, dc);
        return chosen;
    }();
    return face;
}

std::vector<WORD> DialogTemplateInFace(HINSTANCE instance, int dialogId) {
    if (DialogFaceName() == kFaces[0]) return {};
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(dialogId), MAKEINTRESOURCEW(5));  // RT_DIALOG
    if (found == nullptr) return {};
    HGLOBAL loaded = LoadResource(instance, found);
    const auto* words = loaded ? static_cast<const WORD*>(LockResource(loaded)) : nullptr;
    const std::size_t end = SizeofResource(instance, found) / sizeof(WORD);
    // DLGTEMPLATEEX: version 1, signature 0xFFFF, help id, extended style,
    // style, item count, x, y, cx, cy (13 words); menu, class, title; then,
    // with DS_SETFONT, point size, weight, italic and character set (3 words)
    // and the face. The items follow on the next DWORD boundary.
    if (words == nullptr || end < 16 || words[0] != 1 || words[1] != 0xFFFF) return {};
    DWORD style = 0;
    std::memcpy(&style, words + 6, sizeof style);
    if ((style & DS_SETFONT) == 0) return {};
    std::size_t at = SkipSzOrOrd(words, 13, end);
    at = SkipSzOrOrd(words, at, end);
    at = SkipSzOrOrd(words, at, end);
    const std::size_t faceAt = at + 3;
    const std::size_t faceEnd = SkipSzOrOrd(words, faceAt, end);
    if (faceEnd > end) return {};
    const std::size_t itemsAt = (faceEnd + 1) & ~std::size_t{1};

    std::vector<WORD> copy(words, words + faceAt);
    for (const wchar_t* c = DialogFaceName(); *c != L'\0'; ++c) copy.push_back(static_cast<WORD>(*c));
    copy.push_back(0);
    if (copy.size() % 2 != 0) copy.push_back(0);
    if (itemsAt < end) copy.insert(copy.end(), words + itemsAt, words + end);
    return copy;
}

HWND CreateDialogInFace(HINSTANCE instance, int dialogId, HWND owner, DLGPROC proc, LPARAM param) {
    const std::vector<WORD> copy = DialogTemplateInFace(instance, dialogId);
    if (copy.empty()) return CreateDialogParamW(instance, MAKEINTRESOURCEW(dialogId), owner, proc, param);
    return CreateDialogIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(copy.data()), owner, proc, param);
}

INT_PTR DialogBoxInFace(HINSTANCE instance, int dialogId, HWND owner, DLGPROC proc, LPARAM param) {
    const std::vector<WORD> copy = DialogTemplateInFace(instance, dialogId);
    if (copy.empty()) return DialogBoxParamW(instance, MAKEINTRESOURCEW(dialogId), owner, proc, param);
    return DialogBoxIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(copy.data()), owner, proc, param);
}
