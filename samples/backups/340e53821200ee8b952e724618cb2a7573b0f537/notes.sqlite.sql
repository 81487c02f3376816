-- Notes of Maya's iPhone 5 (iOS 6.1.3). One note was deleted; its rows stay in free space.
-- Dates are seconds since 2001-01-01 UTC.

BEGIN;
INSERT INTO ZNOTE (Z_PK, Z_ENT, Z_OPT, ZCONTAINSCJK, ZCONTENTTYPE, ZDELETEDFLAG, ZEXTERNALFLAGS,
  ZEXTERNALSERVERINTID, ZINTEGERID, ZISBOOKKEEPINGENTRY, ZBODY, ZSTORE, ZCREATIONDATE, ZMODIFICATIONDATE,
  ZAUTHOR, ZGUID, ZSERVERID, ZSUMMARY, ZTITLE) VALUES
(1, 3, 1, 0, 0, 0, 0, -4294967296, 1, 0, 1, 1, 391500000, 391500000, NULL,
 '8E1D4C7A-2F60-4B93-A5E8-3C0D9B6F1A27', NULL, 'Lisbon: TP1362 14 June', 'Lisbon trip'),
(2, 3, 1, 0, 0, 0, 0, -4294967296, 2, 0, 2, 1, 391900000, 392200000, NULL,
 'B3F70E29-6A1C-4D85-9E42-7D1A0C8B5F63', NULL, 'Eggs, spinach, lemons', 'Shopping'),
(3, 3, 1, 0, 0, 0, 0, -4294967296, 3, 0, 3, 1, 392300000, 392300000, NULL,
 '1C9A6E53-D4B2-4F07-8A31-E5F2B7C0D948', NULL, 'Daniel – peanut-free cake', 'Birthday dinner'),
(4, 3, 1, 0, 0, 0, 0, -4294967296, 4, 0, 4, 1, 392400000, 392400000, NULL,
 '5A02F8B4-7C3E-4196-B0D5-2E8A6C1F9B37', NULL, 'Wi-Fi at the studio', 'Studio Wi-Fi');
INSERT INTO ZNOTEBODY (Z_PK, Z_ENT, Z_OPT, ZOWNER, ZCONTENT, ZEXTERNALCONTENTREF, ZEXTERNALREPRESENTATION) VALUES
(1, 4, 1, 1, 'Lisbon trip<div>Lisbon: TP1362 14 June, back 18 June</div><div>Hotel near Alfama (Lucía booking)</div><div>Pack: adapter, sunscreen, sketchbook</div>', NULL, NULL),
(2, 4, 1, 2, 'Shopping<div>Eggs, spinach, lemons</div><div>Coffee beans</div><div>Candles for the cake 🎂</div>', NULL, NULL),
(3, 4, 1, 3, 'Birthday dinner<div>Daniel – peanut-free cake</div><div>Table for 6 at Da Gino, 8 pm</div>', NULL, NULL),
(4, 4, 1, 4, 'Studio Wi-Fi<div>Network: BrightStudio-5G</div><div>Password: Azulejo#2013</div>', NULL, NULL);
UPDATE Z_PRIMARYKEY SET Z_MAX = 4 WHERE Z_ENT IN (3, 4);
COMMIT;

BEGIN;
DELETE FROM ZNOTE WHERE Z_PK = 4;
DELETE FROM ZNOTEBODY WHERE Z_PK = 4;
COMMIT;
