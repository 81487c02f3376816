-- The address book of Maya's iPhone 5 (iOS 6.1.3): family, friends, work and a pizzeria. Rowids
-- jumped past 127 and 255 when the phone synced with a computer, as real address books do.
-- Labels are rowids of ABMultiValueLabel; property 3 is a phone number, 4 an e-mail address,
-- 22 a home page. Dates are seconds since 2001-01-01 UTC.

BEGIN;
INSERT INTO ABMultiValueLabel (rowid, value) VALUES (1, '_$!<Mobile>!$_'), (2, '_$!<Home>!$_'),
  (3, '_$!<Work>!$_'), (4, 'iPhone'), (5, '_$!<HomePage>!$_');

INSERT INTO ABPerson (ROWID, First, Last, Middle, Organization, Department, Note, Kind, Birthday, JobTitle,
  FirstSort, LastSort, CreationDate, ModificationDate, StoreID) VALUES
(1, 'Daniel', 'Okafor', NULL, NULL, NULL, 'Brother. Allergic to peanuts!', 0, '-286070400', NULL,
 'DANIEL OKAFOR', 'OKAFOR DANIEL', 370000000, 370000000, 1),
(2, 'Grace', 'Okafor', 'Adaeze', NULL, NULL, NULL, 0, '-851990400', NULL,
 'GRACE OKAFOR', 'OKAFOR GRACE', 370000100, 370000100, 1),
(128, 'Lucía', 'Fernández', NULL, 'Bright Studio', 'Design', 'Met at the Lisbon workshop, May 2013. Prefers iMessage.', 0, NULL, 'Art Director',
 'LUCIA FERNANDEZ', 'FERNANDEZ LUCIA', 390000000, 391000000, 1),
(129, 'Tom', 'Becker', NULL, 'Bright Studio', NULL, NULL, 0, NULL, 'Developer',
 'TOM BECKER', 'BECKER TOM', 390000200, 390000200, 1),
(256, NULL, 'Nguyen', NULL, NULL, NULL, 'Landlord – rent due on the 1st, transfer reference APT-4B', 0, NULL, NULL,
 'NGUYEN', 'NGUYEN', 385000000, 385000000, 1),
(257, NULL, NULL, NULL, 'Pizzeria Da Gino', NULL, 'Best margherita in town 🍕', 0, NULL, NULL,
 'PIZZERIA DA GINO', 'PIZZERIA DA GINO', 386000000, 386000000, 1),
(258, 'Sam', 'Ito', NULL, NULL, NULL, NULL, 0, NULL, NULL,
 'SAM ITO', 'ITO SAM', 389000000, 389000000, 1);

INSERT INTO ABMultiValue (UID, record_id, property, identifier, label, value) VALUES
(1, 1, 3, 0, 1, '+1 (415) 555-0142'),
(2, 1, 4, 0, 2, 'dan.okafor@example.com'),
(3, 2, 3, 0, 2, '(415) 555-0187'),
(4, 2, 3, 1, 1, '+1 415 555 0155'),
(5, 128, 3, 0, 4, '+34 612 55 01 98'),
(6, 128, 4, 0, 3, 'lucia@brightstudio.example'),
(7, 128, 4, 1, 2, 'lucia.f@example.net'),
(8, 128, 22, 0, 5, 'http://brightstudio.example'),
(9, 129, 3, 0, 3, '(628) 555-0110'),
(10, 256, 3, 0, 1, '415-555-0199'),
(11, 257, 3, 0, 3, '(415) 555-0177'),
(12, 257, 22, 0, 5, 'http://dagino.example'),
(13, 258, 3, 0, 1, '+1 (510) 555-0136');
COMMIT;
