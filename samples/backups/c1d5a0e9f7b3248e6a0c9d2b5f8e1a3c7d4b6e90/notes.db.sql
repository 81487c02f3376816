-- Notes of Jürgen's iPhone 3G (iPhone OS 3.1.3), in the notes.db layout of iPhone OS 1 to 3.
-- Four notes; the ski trip note was deleted afterwards, so its rows lie in free space.
-- Dates are whole seconds since 2001-01-01 UTC.

INSERT INTO _SqliteDatabaseProperties (key, value) VALUES ('_ClientVersion', '6');

BEGIN;
INSERT INTO Note (ROWID, creation_date, title, summary, contains_cjk, modification_date, author, content_type) VALUES
(1, 278950930, 'Einkaufsliste', 'Brötchen, Käse, Äpfel', 0, 278950930, NULL, 0),
(2, 278950930, 'Skiurlaub Ischgl', 'Skipass abholen, Hütte: Zimmer 12', 0, 285411900, NULL, 0),
(3, 285411900, 'Geburtstage', 'Oma 12. März, Lena 30. Juni', 0, 285411900, NULL, 0),
(4, 287868645, 'Werkstatt-Termin', 'Dienstag 8:00, Winterreifen runter', 0, 287868645, NULL, 0);

INSERT INTO note_bodies (note_id, data) VALUES
(1, 'Einkaufsliste<div>Brötchen</div><div>Käse (Gouda, mittelalt)</div><div>Äpfel – Boskoop</div><div>Süßigkeiten für die Kinder</div>'),
(2, 'Skiurlaub Ischgl<div>Skipass abholen</div><div>Hütte: Zimmer 12, Schlüssel beim Wirt</div><div>Nicht vergessen: Skibrille!</div>'),
(3, 'Geburtstage<br><br>Oma 12. März<br>Lena 30. Juni<br>Onkel Günther 2. Oktober'),
(4, 'Werkstatt-Termin<div>Dienstag 8:00, Winterreifen runter</div><div>Ölwechsel fällig (ca. 89 €)</div>');
COMMIT;

-- Deleted note: both rows stay in free space because secure_delete is off.
BEGIN;
DELETE FROM Note WHERE ROWID = 2;
DELETE FROM note_bodies WHERE note_id = 2;
COMMIT;
