#pragma once

// The F1 menu: prints the five commands, reads a selection and carries it out.
void runMenu();
void queryTile();
void queryCluster();
void startSeries();
