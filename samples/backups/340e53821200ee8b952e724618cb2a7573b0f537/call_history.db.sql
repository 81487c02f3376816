-- Calls of Maya's iPhone 5 (iOS 6.1.3). flags: 4 incoming, 5 outgoing, 16 and 17 FaceTime in and
-- out. date is a Unix time; duration in seconds. The newest call's duration was never written.

BEGIN;
INSERT INTO call (ROWID, address, date, duration, flags, id, country_code, network_code, read, assisted,
  originalAddress) VALUES
(1, '+14155550142', 1369728000, 342, 5, -1, '310', '410', 1, 0, '+14155550142'),
(2, '4155550187', 1369940000, 0, 4, -1, '310', '410', 1, 0, '4155550187'),
(3, '4155550187', 1369940400, 1260, 5, -1, '310', '410', 1, 0, '4155550187'),
(4, 'lucia@brightstudio.example', 1370087400, 2715, 17, -1, '310', '410', 1, 0, 'lucia@brightstudio.example'),
(5, '+14155550177', 1370293000, 48, 5, -1, '310', '410', 1, 0, '+14155550177'),
(6, '+18005550100', 1370418000, 0, 5, -1, '310', '410', 1, 0, '+18005550100'),
(7, '+16285550110', 1370624000, 95, 16, -1, '310', '410', 1, 0, '+16285550110'),
(8, '+14155550142', 1370779000, NULL, 4, -1, '310', '410', 0, 0, '+14155550142');
COMMIT;
