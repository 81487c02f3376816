-- The notes.db left behind from Sofia's earlier iPhone (iPhone OS 3). The device no longer reads
-- it; it is here because a restored backup carries both files.
-- Dates are whole seconds since 2001-01-01 UTC.

INSERT INTO _SqliteDatabaseProperties (key, value) VALUES ('_ClientVersion', '6');

BEGIN;
INSERT INTO Note (ROWID, creation_date, title, summary, contains_cjk, modification_date, author, content_type) VALUES
(1, 278950930, 'Regalos de Navidad', 'Mamá: bufanda', 0, 285411900, NULL, 0),
(2, 285411900, 'Old phone numbers', 'Casa 91 555 0142', 0, 285411900, NULL, 0);

INSERT INTO note_bodies (note_id, data) VALUES
(1, 'Regalos de Navidad<div>Mamá: bufanda</div><div>Papá: libro de García Márquez</div>'),
(2, 'Old phone numbers<div>Casa 91 555 0142</div><div>Trabajo 91 555 0178</div>');
COMMIT;
