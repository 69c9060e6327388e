#pragma once

// Console, banner, the four settings, the F1 hint and the first board.
void startUp();

// The settings dialogue alone (banner to hint), for tests.
void askSettings();
