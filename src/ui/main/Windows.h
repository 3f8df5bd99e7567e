#pragma once

class TFmHome;
class TFmCommSetting;
class TFmSetPage;
class TFmBarPage;
class TFmChartSetting;
class TFmWriting;
class TFmAddAlarm;
class TFmModifyAlarm;
class TFmAlmDlg;
class TFmRecord;
class TFmBrowse;
class TFmLineStatistics;
class Tfmpaset;
class Tfmpassread;
class TFmshowpawd;
class TForm1;
class TFmTitle;

// Every window of the program, created once at start in this order and kept for the whole
// run; after start-up each window reaches the others through this table.
struct Windows
{
    TFmHome* FmHome = nullptr;
    TFmCommSetting* FmCommSetting = nullptr;
    TFmSetPage* FmSetPage = nullptr;
    TFmBarPage* FmBarPage = nullptr;
    TFmChartSetting* FmChartSetting = nullptr;
    TFmWriting* FmWriting = nullptr;
    TFmAddAlarm* FmAddAlarm = nullptr;
    TFmModifyAlarm* FmModifyAlarm = nullptr;
    TFmAlmDlg* FmAlmDlg = nullptr;
    TFmRecord* FmRecord = nullptr;
    TFmBrowse* FmBrowse = nullptr;
    Tfmpaset* fmpaset = nullptr;
    Tfmpassread* fmpassread = nullptr;
    TFmshowpawd* Fmshowpawd = nullptr;
    TForm1* Form1 = nullptr;
    TFmTitle* FmTitle = nullptr;
    // Not in the original program: the counts of the serial lines, opened from the status line.
    TFmLineStatistics* FmLineStatistics = nullptr;
};
