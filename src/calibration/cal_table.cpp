#include "calibration/cal_table.h"

// Per converter (HS, and HR on a Pro device) and gain: PSlope (volts per
// count above Center), NSlope (below it), Center (counts at 0 V) and Offset
// (NSlope x Center).
const CalConstant calTable[kCalConstants] = {
    {"HS 10.0V PSlope", 0.00031580578, 0.05},
    {"HS 10.0V NSlope", -0.0003158058, 0.05},
    {"HS 10.0V Center", 33523, 0.05},
    {"HS 10.0V Offset", -10.586956522, 0.05},
    {"HS 1.00V PSlope", 3.1580578e-05, 0.05},
    {"HS 1.00V NSlope", -3.15806e-05, 0.05},
    {"HS 1.00V Center", 33523, 0.05},
    {"HS 1.00V Offset", -1.0586956522, 0.05},
    {"HS 0.10V PSlope", 3.158058e-06, 0.05},
    {"HS 0.10V NSlope", -3.1581e-06, 0.05},
    {"HS 0.10V Center", 33523, 0.05},
    {"HS 0.10V Offset", -0.1058695652, 0.05},
    {"HS 0.01V PSlope", 3.15806e-07, 0.05},
    {"HS 0.01V NSlope", -3.158e-07, 0.05},
    {"HS 0.01V Center", 33523, 0.05},
    {"HS 0.01V Offset", -0.0105869565, 0.05},
    {"HR 10.0V PSlope", 0.00031580578, 0.5},
    {"HR 10.0V NSlope", -0.0003158058, 0.5},
    {"HR 10.0V Center", 33523, 0.5},
    {"HR 10.0V Offset", -10.586956522, 0.5},
    {"HR 1.00V PSlope", 3.1580578e-05, 0.5},
    {"HR 1.00V NSlope", -3.15806e-05, 0.5},
    {"HR 1.00V Center", 33523, 0.5},
    {"HR 1.00V Offset", -1.0586956522, 0.5},
    {"HR 0.10V PSlope", 3.158058e-06, 0.5},
    {"HR 0.10V NSlope", -3.1581e-06, 0.5},
    {"HR 0.10V Center", 33523, 0.5},
    {"HR 0.10V Offset", -0.1058695652, 0.5},
    {"HR 0.01V PSlope", 3.15806e-07, 0.5},
    {"HR 0.01V NSlope", -3.158e-07, 0.5},
    {"HR 0.01V Center", 33523, 0.5},
    {"HR 0.01V Offset", -0.0105869565, 0.5},
    {"DAC0 Slope", 13200, 0.05},   // codes per volt
    {"DAC0 Offset", 100, 2.0},     // codes
    {"DAC1 Slope", 13200, 0.05},
    {"DAC1 Offset", 100, 2.0},
    {"Temp Slope", -92.6, 0.01},
    {"Temp Offset", 467.6, 0.01},
    {"IS 10uA", 1e-05, 0.05},      // amperes
    {"IS 200uA", 0.0002, 0.05},
    {"I Bias", 1.5e-08, 3.0},
};

float calValues[kCalConstants] = {};

char meterName[text::kScratchSize] = {};
char meterCalString[text::kScratchSize] = {};
