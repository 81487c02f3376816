-- Notes of Mia's iPhone (iOS 16.6), in the note store. Folders, notes, attachments and their media
-- are rows of ZICCLOUDSYNCINGOBJECT, told apart by their entity (Z_PRIMARYKEY names them); a note's
-- text is the ZDATA of its ZICNOTEDATA row: note_data(text, attachment id, type, ...) makes that
-- gzip-compressed document, ciphertext(n, size) the bytes of a password-protected note.
-- Row 1 is the account. Dates are seconds since 2001-01-01 UTC. U+FFFC marks where an
-- attachment stands in the text.
--
-- The life: four folders; six notes written over the year; one note locked with a password; one
-- edited (its older text stays in free space); one moved to Recently Deleted; one deleted for good
-- from there (its rows stay in free space).

BEGIN;
INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, Z_OPT, ZMARKEDFORDELETION, ZFOLDERTYPE, ZOWNER, ZIDENTIFIER, ZTITLE2)
VALUES
(2, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICFolder'), 1, 0, 0, 1, 'DefaultFolder-LocalAccount', 'Notes'),
(3, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICFolder'), 1, 0, 0, 1, '6B0E2D41-93F7-4C1A-8E25-0D9C3A7F51B8', 'Recipes'),
(4, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICFolder'), 1, 0, 0, 1, 'A4C97E10-2F6B-4D83-B51E-7C0A9D2E6F34', 'Travel ✈️'),
(5, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICFolder'), 1, 0, 1, 1, 'TrashFolder-LocalAccount', 'Recently Deleted');

INSERT INTO ZICNOTEDATA (Z_PK, Z_ENT, Z_OPT, ZNOTE, ZDATA) VALUES
(1, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNoteData'), 1, 6,
 note_data('Groceries
Oat milk
Sourdough
Basil, a big bunch
Parmigiano Reggiano
')),
(2, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNoteData'), 1, 7,
 note_data('Pasta al limone
Zest of two lemons, 50 g butter, 80 g parmigiano.
Toss the spaghetti with the butter and a ladle of pasta water, then the zest and cheese. Pepper.
')),
(3, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNoteData'), 1, 8,
 note_data('Lisbon, 14–18 June
Flight TP1351 Thursday 07:40
' || char(65532) || '
Tram 28 early, before the crowds
' || char(65532) || '
', 'E1F0A3B2-5C4D-4E6F-8A7B-9C0D1E2F3A4B', 'public.heic', '0C1D2E3F-4A5B-4C6D-8E7F-A0B1C2D3E4F5', 'com.adobe.pdf')),
(4, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNoteData'), 1, 9, ciphertext(9, 96)),
(5, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNoteData'), 1, 10,
 note_data('Gift ideas
Dad: a fishing reel
Leo: Lego technic')),
(6, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNoteData'), 1, 11,
 note_data('Old packing list
Sunscreen, charger, adapter'));
UPDATE ZICNOTEDATA SET ZCRYPTOINITIALIZATIONVECTOR = ciphertext(109, 16), ZCRYPTOTAG = ciphertext(209, 16)
WHERE Z_PK = 4;

INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, Z_OPT, ZISPASSWORDPROTECTED, ZMARKEDFORDELETION, ZISPINNED,
  ZACCOUNT2, ZFOLDER, ZNOTEDATA, ZCREATIONDATE3, ZMODIFICATIONDATE1, ZIDENTIFIER, ZTITLE1, ZSNIPPET) VALUES
(6, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNote'), 3, 0, 0, 1, 1, 2, 1, 700337050, 721691883.25,
 '3E8A1C52-70D4-4B9F-A126-5F0E8D3C7B91', 'Groceries', 'Oat milk'),
(7, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNote'), 1, 0, 0, 0, 1, 3, 2, 706261315, 706261315.5,
 '9D2F6A03-1B8E-4C57-A4E0-3B7D9C1F2E68', 'Pasta al limone', 'Zest of two lemons, 50 g butter, 80 g parmigiano.'),
(8, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNote'), 2, 0, 0, 0, 1, 4, 3, 707519702, 710598600,
 'F4B7C1E9-6D20-4A83-9E5C-2A1B0F8D7C36', 'Lisbon, 14–18 June', 'Flight TP1351 Thursday 07:40'),
(9, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNote'), 1, 1, 0, 0, 1, 2, 4, 714906167, 714906167,
 '5C0D8E27-A3F1-4B6C-9D84-E7B2A1C05F93', 'Bank and door codes', NULL),
(10, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNote'), 1, 0, 0, 0, 1, 2, 5, 717785130, 717785130,
 '8A1E5D72-C94B-4F06-B3D8-1E6C0A9F7B24', 'Gift ideas', 'Dad: a fishing reel'),
(11, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNote'), 1, 0, 0, 0, 1, 4, 6, 719579471, 719579471,
 'B6F3A9D0-2E71-4C85-A0B4-9D5E8F1C3A27', 'Old packing list', 'Sunscreen, charger, adapter');
UPDATE ZICCLOUDSYNCINGOBJECT SET ZCRYPTOITERATIONCOUNT = 20000, ZCRYPTOSALT = ciphertext(309, 16),
  ZCRYPTOWRAPPEDKEY = ciphertext(409, 40), ZCRYPTOPASSWORDHINT = 'first pet' WHERE Z_PK = 9;

-- The Lisbon note's photo and boarding pass, and their media.
INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, Z_OPT, ZMARKEDFORDELETION, ZIDENTIFIER, ZFILENAME) VALUES
(12, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICMedia'), 1, 0, '7A2C4E6F-8B1D-4F3A-9C5E-0D2B4A6C8E1F', 'IMG_2041.HEIC'),
(13, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICMedia'), 1, 0, '1F3E5D7C-9B0A-4E2D-8C6B-4A3F2E1D0C9B', 'BoardingPass-TP1351.pdf');
INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, Z_OPT, ZMARKEDFORDELETION, ZNOTE, ZMEDIA, ZCREATIONDATE,
  ZMODIFICATIONDATE, ZIDENTIFIER, ZTYPEUTI) VALUES
(14, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICAttachment'), 1, 0, 8, 12, 707519702, 707519702,
 'E1F0A3B2-5C4D-4E6F-8A7B-9C0D1E2F3A4B', 'public.heic'),
(15, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICAttachment'), 1, 0, 8, 13, 710598600, 710598600,
 '0C1D2E3F-4A5B-4C6D-8E7F-A0B1C2D3E4F5', 'com.adobe.pdf');

-- A note that is deleted for good further down.
INSERT INTO ZICNOTEDATA (Z_PK, Z_ENT, Z_OPT, ZNOTE, ZDATA) VALUES
(7, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNoteData'), 1, 16,
 note_data('Wi-Fi at the flat
Network: Casa-Alfama
Password: sardinha2023'));
INSERT INTO ZICCLOUDSYNCINGOBJECT (Z_PK, Z_ENT, Z_OPT, ZISPASSWORDPROTECTED, ZMARKEDFORDELETION, ZISPINNED,
  ZACCOUNT2, ZFOLDER, ZNOTEDATA, ZCREATIONDATE3, ZMODIFICATIONDATE1, ZIDENTIFIER, ZTITLE1, ZSNIPPET) VALUES
(16, (SELECT Z_ENT FROM Z_PRIMARYKEY WHERE Z_NAME = 'ICNote'), 1, 0, 0, 0, 1, 4, 7, 707519702, 707519702,
 'C2A8E4F1-0B9D-4E37-A6C5-8F1D3B7E2A90', 'Wi-Fi at the flat', 'Network: Casa-Alfama');
UPDATE Z_PRIMARYKEY SET Z_MAX = 16 WHERE Z_NAME IN ('ICAccount', 'ICAttachment', 'ICFolder', 'ICMedia', 'ICNote');
UPDATE Z_PRIMARYKEY SET Z_MAX = 7 WHERE Z_NAME = 'ICNoteData';
COMMIT;

-- Gift ideas grows; its older text stays in the free space of the page.
UPDATE ZICNOTEDATA SET Z_OPT = 2, ZDATA = note_data('Gift ideas
Dad: a fishing reel
Leo: Lego technic
Grandma: the Lisbon photo, framed') WHERE Z_PK = 5;
UPDATE ZICCLOUDSYNCINGOBJECT SET Z_OPT = 2, ZMODIFICATIONDATE1 = 720645605 WHERE Z_PK = 10;

-- The old packing list goes to Recently Deleted.
UPDATE ZICCLOUDSYNCINGOBJECT SET Z_OPT = 2, ZFOLDER = 5, ZMARKEDFORDELETION = 1, ZMODIFICATIONDATE1 = 721469140
WHERE Z_PK = 11;

-- The Wi-Fi note is deleted, then removed from Recently Deleted for good.
DELETE FROM ZICNOTEDATA WHERE ZNOTE = 16;
DELETE FROM ZICCLOUDSYNCINGOBJECT WHERE Z_PK = 16;
