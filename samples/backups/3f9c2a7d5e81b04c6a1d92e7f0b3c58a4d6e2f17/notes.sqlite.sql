-- Notes of Anna's iPhone (iOS 5.1.1): seven notes written over five months; two were edited
-- later and two deleted, so older versions and deleted rows lie in the pages' free space.
-- Dates are seconds since 2001-01-01 UTC.

BEGIN;
INSERT INTO ZNOTE (Z_PK, Z_ENT, Z_OPT, ZCONTAINSCJK, ZCONTENTTYPE, ZDELETEDFLAG, ZEXTERNALFLAGS,
  ZEXTERNALSERVERINTID, ZINTEGERID, ZISBOOKKEEPINGENTRY, ZBODY, ZSTORE, ZCREATIONDATE, ZMODIFICATIONDATE,
  ZAUTHOR, ZGUID, ZSERVERID, ZSUMMARY, ZTITLE) VALUES
(1, 3, 1, 0, 0, 0, 0, -4294967296, 1, 0, 1, 1, 353405520, 353405520, NULL,
 '5E2B7C14-93A0-4D6F-8B1E-0C7A2F9D4E31', NULL,
 'Milk Eggs (free range) Sourdough bread Crème fraîche', 'Groceries'),
(2, 3, 1, 0, 0, 0, 0, -4294967296, 2, 0, 2, 1, 357673530, 357673530.5, NULL,
 'A07D3E91-2C4B-4F85-9E60-7B1D8C3A5F22', NULL,
 'Passport Charger Sunglasses', 'Packing list for Lisbon'),
(3, 3, 1, 0, 0, 0, 0, -4294967296, 3, 0, 3, 1, 361800191, 361800191, NULL,
 'C4F81A2D-6B9E-4037-A5D2-E93B0F6C1874', NULL,
 'Network: Bergblick-Gast Password: Alpenrose!2012', 'Wi-Fi at the cabin'),
(4, 3, 1, 0, 0, 0, 0, -4294967296, 4, 0, 4, 1, 361800191, 365204405.5, NULL,
 '1B6E0D73-F4A8-42C9-8D35-6A2E9C7B0F48', NULL,
 'Cake from Patisserie Gâteau, order by Thursday', 'Mum''s birthday – 3 August'),
(5, 3, 1, 0, 0, 0, 0, -4294967296, 5, 0, 5, 1, 365204405, 365204405, NULL,
 '8D2A5C9E-0F17-4B63-B4E8-3C9F6A1D2E75', NULL,
 'Dad: fishing reel Lucas: Lego', 'Gift ideas'),
(6, 3, 1, 0, 0, 0, 0, -4294967296, 6, 0, 6, 1, 365204405, 365204405, NULL,
 'F39C6E20-7D4B-4A18-9E53-B0D2C8A71F96', NULL,
 'Garage 4711# Side door 0815', 'Door codes'),
(7, 3, 1, 0, 0, 0, 0, -4294967296, 7, 0, 7, 1, 366189300, 366189300.25, NULL,
 '2E7F4B86-C1D0-4395-A27E-5F8B3D6C0A19', NULL,
 'Q3 roadmap: ship the offline mode first; Ravi owns the sync fixes', 'Meeting notes 9 Aug');

INSERT INTO ZNOTEBODY (Z_PK, Z_ENT, Z_OPT, ZOWNER, ZCONTENT, ZEXTERNALCONTENTREF, ZEXTERNALREPRESENTATION) VALUES
(1, 4, 1, 1, 'Groceries<div><br></div><div>Milk</div><div>Eggs (free range)</div><div>Sourdough bread</div><div>Crème fraîche</div><div>Coffee beans – the Ethiopian ones</div>', NULL, NULL),
(2, 4, 1, 2, 'Packing list for Lisbon<div>Passport</div><div>Charger</div><div>Sunglasses</div>', NULL, NULL),
(3, 4, 1, 3, 'Wi-Fi at the cabin<div>Network: Bergblick-Gast</div><div>Password: Alpenrose!2012</div>', NULL, NULL),
(4, 4, 1, 4, 'Mum''s birthday – 3 August<div><br></div><div>Cake from Patisserie Gâteau, order by Thursday</div><div>Card + flowers (peonies if they have them)</div><div>Table for 6 at Café Sólo, 19:30</div>', NULL, NULL),
(5, 4, 1, 5, 'Gift ideas<div>Dad: fishing reel</div><div>Lucas: Lego</div>', NULL, NULL),
(6, 4, 1, 6, 'Door codes<div>Garage 4711#</div><div>Side door 0815</div>', NULL, NULL),
(7, 4, 1, 7, 'Meeting notes 9 Aug<div><br></div><div>Q3 roadmap: ship the offline mode first; Ravi owns the sync fixes</div><div>Design review moved to Tuesday 14:00</div><div>Budget: €12,500 approved for user testing</div><div><br></div><div>Action items:</div><div>– Anna: draft the survey</div><div>– Tom: book the lab</div>', NULL, NULL);

UPDATE Z_PRIMARYKEY SET Z_MAX = 7 WHERE Z_ENT IN (3, 4);
COMMIT;

-- June: the packing list grows before the trip.
BEGIN;
UPDATE ZNOTE SET Z_OPT = 2, ZMODIFICATIONDATE = 361800191, ZSUMMARY = 'Passport Charger Sunglasses Sun cream'
 WHERE Z_PK = 2;
UPDATE ZNOTEBODY SET Z_OPT = 2, ZCONTENT = 'Packing list for Lisbon<div>Passport</div><div>Charger + travel adapter</div><div>Sunglasses</div><div>Sun cream (SPF 50)</div><div>Phrasebook – “Obrigada!”</div><div>Walking shoes</div>'
 WHERE Z_PK = 2;
COMMIT;

-- August: more gift ideas.
BEGIN;
UPDATE ZNOTE SET Z_OPT = 2, ZMODIFICATIONDATE = 366189300, ZSUMMARY = 'Dad: fishing reel Lucas: Lego Technic crane'
 WHERE Z_PK = 5;
UPDATE ZNOTEBODY SET Z_OPT = 2, ZCONTENT = 'Gift ideas<div>Dad: fishing reel (the Shimano one, ask at Outdoor World)</div><div>Lucas: Lego Technic crane</div><div>Grandma: large-print crossword book</div>'
 WHERE Z_PK = 5;
COMMIT;

-- Deleted notes: their rows stay in free space because secure_delete is off.
BEGIN;
DELETE FROM ZNOTE WHERE Z_PK = 3;
DELETE FROM ZNOTEBODY WHERE Z_PK = 3;
COMMIT;
BEGIN;
DELETE FROM ZNOTE WHERE Z_PK = 6;
DELETE FROM ZNOTEBODY WHERE Z_PK = 6;
COMMIT;
