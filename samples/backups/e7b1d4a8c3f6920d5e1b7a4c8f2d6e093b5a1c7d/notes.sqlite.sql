-- Notes of Lena's iPad mini (iOS 6.1.3; its product type iPad2,5 is a model the device table
-- does not name). Three notes, one of them a long running log whose body spills onto overflow
-- pages. Nothing was deleted.
-- Dates are seconds since 2001-01-01 UTC.

BEGIN;
INSERT INTO ZNOTE (Z_PK, Z_ENT, Z_OPT, ZCONTAINSCJK, ZCONTENTTYPE, ZDELETEDFLAG, ZEXTERNALFLAGS,
  ZEXTERNALSERVERINTID, ZINTEGERID, ZISBOOKKEEPINGENTRY, ZBODY, ZSTORE, ZCREATIONDATE, ZMODIFICATIONDATE,
  ZAUTHOR, ZGUID, ZSERVERID, ZSUMMARY, ZTITLE) VALUES
(1, 3, 1, 0, 0, 0, 0, -4294967296, 1, 0, 1, 1, 378691200, 387144660, NULL,
 '6A0F2C94-D83B-4E15-97A6-B4C1E0D5F283', NULL,
 '2013-01-02 – 7.8 km in 33:37, city park', 'Running log 2013 🏃'),
(2, 3, 1, 0, 0, 0, 0, -4294967296, 2, 0, 2, 1, 383914800, 383914800.5, NULL,
 'F1B3D7E9-2A4C-4068-8D5F-0E9C7A3B1D46', NULL,
 'Abstract due 15 March', 'Thesis'),
(3, 3, 1, 0, 0, 0, 0, -4294967296, 3, 0, 3, 1, 387144660, 387144660, NULL,
 '3C5E7A9B-1D2F-4A60-B8C4-D6E0F2A4B680', NULL,
 'The Goldfinch, Life After Life', 'Books to read 📚');

-- The running log: one line per run since New Year, as typed after each run.
INSERT INTO ZNOTEBODY (Z_PK, Z_ENT, Z_OPT, ZOWNER, ZCONTENT, ZEXTERNALCONTENTREF, ZEXTERNALREPRESENTATION)
WITH RECURSIVE run(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM run WHERE n < 97)
SELECT 1, 4, 1, 1, 'Running log 2013 🏃<div><br></div>' ||
  group_concat(printf('<div>%s – %.1f km in %d:%02d, %s</div>', date('2013-01-01', '+' || n || ' days'),
                      5.0 + (n * 7 % 11) * 0.4, 28 + (n * 5 % 17), (n * 37) % 60,
                      CASE n % 4 WHEN 0 THEN 'river loop' WHEN 1 THEN 'city park' WHEN 2 THEN 'hills'
                      ELSE 'track' END), ''), NULL, NULL
FROM run;

INSERT INTO ZNOTEBODY (Z_PK, Z_ENT, Z_OPT, ZOWNER, ZCONTENT, ZEXTERNALCONTENTREF, ZEXTERNALREPRESENTATION) VALUES
(2, 4, 1, 2, 'Thesis<div>Abstract due 15 March</div><div>Ask Prof. Østergaard about the interview chapter</div><div>Chapter 3: rerun the survey analysis with the cleaned data</div>', NULL, NULL),
(3, 4, 1, 3, 'Books to read 📚<div>The Goldfinch</div><div>Life After Life</div><div>L’Élégance du hérisson (in French!)</div><div>Norwegian Wood – 村上春樹</div>', NULL, NULL);

UPDATE ZNOTE SET ZCONTAINSCJK = 1 WHERE Z_PK = 3;
UPDATE Z_PRIMARYKEY SET Z_MAX = 3 WHERE Z_ENT IN (3, 4);
COMMIT;
