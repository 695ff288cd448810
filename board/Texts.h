// Every text the player sees, in UTF-8. Nothing else in the program holds them.
#pragma once

namespace board::text {

inline constexpr const char* kApplicationTitle = "QX-Nembrolix Vortrane";
inline constexpr const char* kEndingTitle = "Nembrolix SS";
inline constexpr const char* kRetiredTitle = "えっ？ リタイア？";

inline constexpr const char* kAlreadyRunning = "すでに起動しています。";
inline constexpr const char* kAlreadyRunningCaption = "VT - mutex";

inline constexpr const char* kGameCaption = "VT";
inline constexpr const char* kWarningCaption = "QX-Nembrolix Vortrane - Warning!";
inline constexpr const char* kProcessorNote =
    "このプログラムは Pentium 以上で実行することを奨励しています。それ未満のコンピュータでは、"
    "動作が鈍る可能性があります。";
inline constexpr const char* kDoubleSpeed = "ダブルスピードでチャレンジ！";
inline constexpr const char* kDoubleSpeedCaption = "作者の企み";
inline constexpr const char* kContentWarning =
    "このプログラムには過激な表現やグロテスクな表現が含まれているため、次に示されるような方の実行は"
    "おすすめできません。\n\n"
    "  ・18歳未満の方\n"
    "  ・妊娠中の方\n"
    "  ・アルコールを接種された方\n"
    "  ・心臓の弱い方\n"
    "  ・高血圧の方\n"
    "  ・お風呂上がりの方\n"
    "  ・物事に対して過剰に激怒する方\n"
    "  ・前作 QX-Nembrolix を知らない方";

inline constexpr const char* kSplitDone = "Active化完了！";

// The three answers of each desktop, A to D.
inline constexpr const char* kHitAnswers[4][3] = {
    {"１回ぐらいじゃくたばりませんよ", "ほほぅ、なかなかやりますね", "うぎゃ！"},
    {"かすっただけですね", "２回やるとは、ちょこざいな", "わぁ、止められた"},
    {"まぐれまぐれ･･･", "惜しい、あと少し！", "おめでとう"},
    {"やだよ～ん", "まだまだ", "３度目の正直"},
};

inline constexpr const char* kEndingWarning = "危険ですから、まねしないようにしてください。";
inline constexpr const char* kEndingWarningCaption = "良い子の皆様へ";

inline constexpr const char* kRetireQuestion = "リタイアしますか？";
inline constexpr const char* kRetireCaption = "ヘタレ";
inline constexpr const char* kWinsPiece = " 勝 ";
inline constexpr const char* kLossesPiece = " 敗です";
inline constexpr const char* kWinStreakPiece = " 連勝中です";
inline constexpr const char* kLossStreakPiece = " 連敗中です";

inline constexpr const char* kVersionCaption = "バージョン情報";
inline constexpr const char* kVersionText = " QX-Nembrolix Vortrane\n\nVersion 2.05";
inline constexpr const char* kMakersNotice = "(C) Telquarin  遊びで作ったジョークソフトです。";
inline constexpr const char* kHelp =
    "４つのアクティブ（活動的な）デスクトップの下にある[Click]を３回クリックしてください。";

// Complaints keyed to the number of background double-clicks before the current one.
struct Complaint {
  int count;
  const char* text;
};
inline constexpr Complaint kComplaints[] = {
    {5, "「無」の領域を叩かないでください。"},
    {10, "痛いですから叩かないでください。"},
    {15, "やめてください。"},
    {20, "イタッ！"},
    {25, "お願いだからやめて！"},
    {30, "キレるぞ！"},
    {35, "ゴヒャ！"},
    {40, "..."},
    {50, "..."},
};

}  // namespace board::text
