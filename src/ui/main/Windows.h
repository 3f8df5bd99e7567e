#pragma once

class TFmHome;
class TFmBarPage;

// Every window of the program, created once at start in this order and kept for the whole
// run; after start-up each window reaches the others through this table.
struct Windows
{
    TFmHome* FmHome = nullptr;
    TFmBarPage* FmBarPage = nullptr;
};
