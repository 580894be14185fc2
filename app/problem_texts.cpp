#include "app/problem_texts.h"

#include <cerrno>

namespace zumbolo {

namespace {

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

bool Is(std::error_code why, std::errc what) { return why == std::make_error_condition(what); }

// Why, as the user can act on it; reading or writing decides the words for a refused permission.
std::string Reason(std::error_code why, bool writing) {
  if (Is(why, std::errc::no_space_on_device)) return "ディスクに空きがありません";
#if defined(EDQUOT)
  if (why.category() == std::generic_category() && why.value() == EDQUOT) return "ディスクの割り当てを使い切りました";
#endif
  if (Is(why, std::errc::permission_denied) || Is(why, std::errc::operation_not_permitted)) {
    return writing ? "書き込みが許可されていません" : "読み取りが許可されていません";
  }
  if (Is(why, std::errc::read_only_file_system)) return "読み取り専用のドライブです";
  if (Is(why, std::errc::no_such_file_or_directory)) return "フォルダーがありません";
  if (Is(why, std::errc::not_a_directory)) return "途中にフォルダーでないファイルがあります";
  if (Is(why, std::errc::invalid_argument) || Is(why, std::errc::is_a_directory)) return "普通のファイルではありません";
  if (Is(why, std::errc::io_error)) return "ディスクの読み書きでエラーが起きました";
  if (Is(why, std::errc::file_too_large)) return "ファイルが大きすぎます";
  if (Is(why, std::errc::filename_too_long)) return "名前が長すぎます";
  if (Is(why, std::errc::too_many_symbolic_link_levels)) return "シンボリックリンクが多すぎます";
  return "エラー番号 " + std::to_string(why.value());
}

}  // namespace

std::string SettingsUnreadableText(const std::filesystem::path& file, std::error_code why) {
  return "設定ファイル「" + Utf8(file) + "」を読めませんでした（" + Reason(why, false) +
         "）。今回は初めの設定で動き、このファイルには書き込みません。";
}

std::string SettingsNotSavedText(const std::filesystem::path& file, std::error_code why) {
  return "設定を「" + Utf8(file) + "」に保存できませんでした（" + Reason(why, true) + "）。";
}

std::string FolderNotMadeText(const std::filesystem::path& folder, std::error_code why, bool settings, bool tracks) {
  const char* consequence = settings && tracks ? "設定は保存されず、音も鳴りません。"
                            : settings         ? "設定は保存されません。"
                                               : "音なしで続けます。";
  return "フォルダー「" + Utf8(folder) + "」を作れませんでした（" + Reason(why, true) + "）。" + consequence;
}

std::string TrackNotWrittenText(std::string_view file, const std::filesystem::path& folder, std::error_code why) {
  return "音のファイル「" + std::string(file) + "」を「" + Utf8(folder) + "」に書き込めませんでした（" +
         Reason(why, true) + "）。書き込めなかった音は鳴らさずに続けます。";
}

}  // namespace zumbolo
